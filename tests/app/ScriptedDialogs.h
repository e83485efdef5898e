#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "UserDialogs.h"

// Answers the program's dialogs from a script and records what was asked.
class ScriptedDialogs : public UserDialogs {
public:
    struct Message {
        QString kind; // "information", "warning", "question"
        QString title;
        QString text;
    };
    struct FileRequest {
        QString caption;
        QString dir;
        QString filter;
    };

    ScriptedDialogs() { UserDialogs::install(this); }
    ~ScriptedDialogs() override { UserDialogs::install(nullptr); }

    // The next file dialogs answer these in turn; a null string cancels.
    QStringList fileAnswers;
    // The filters the next save dialogs pick in turn; none leaves the proposed one.
    QStringList filterAnswers;
    bool questionAnswer = true;

    QList<Message> messages;
    QList<FileRequest> fileRequests;

    QString saveFileName(QWidget*, const QString& caption, const QString& dir, const QString& filter) override
    {
        fileRequests.append({caption, dir, filter});
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    QString saveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                         QString* selectedFilter) override
    {
        if (selectedFilter && !filterAnswers.isEmpty()) *selectedFilter = filterAnswers.takeFirst();
        return saveFileName(parent, caption, dir, filter);
    }
    QString openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override
    {
        return saveFileName(parent, caption, dir, filter);
    }
    void information(QWidget*, const QString& title, const QString& text) override
    {
        messages.append({QStringLiteral("information"), title, text});
    }
    void warning(QWidget*, const QString& title, const QString& text) override
    {
        messages.append({QStringLiteral("warning"), title, text});
    }
    bool question(QWidget*, const QString& title, const QString& text) override
    {
        messages.append({QStringLiteral("question"), title, text});
        return questionAnswer;
    }
};
