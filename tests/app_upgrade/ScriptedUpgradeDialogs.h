#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "UserDialogs.h"

// Answers the page's questions and file pickers from a script and records
// what was asked; installed for its lifetime.
class ScriptedUpgradeDialogs : public UserDialogs {
public:
    struct Asked {
        QString kind; // "information", "warning", "question", "open"
        QString title;
        QString text;
        QString dir;
        QString filter;
        bool hadParent = false;
    };

    ScriptedUpgradeDialogs() { UserDialogs::install(this); }
    ~ScriptedUpgradeDialogs() override { UserDialogs::install(nullptr); }

    bool yes = true;
    // A null string cancels the file dialog.
    QString chosenFile;
    QList<Asked> asked;

    QString saveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override
    {
        asked.append({QStringLiteral("save"), caption, QString(), dir, filter, parent != nullptr});
        return QString();
    }
    QString openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override
    {
        asked.append({QStringLiteral("open"), caption, QString(), dir, filter, parent != nullptr});
        return chosenFile;
    }
    void information(QWidget* parent, const QString& title, const QString& text) override
    {
        asked.append({QStringLiteral("information"), title, text, QString(), QString(), parent != nullptr});
    }
    void warning(QWidget* parent, const QString& title, const QString& text) override
    {
        asked.append({QStringLiteral("warning"), title, text, QString(), QString(), parent != nullptr});
    }
    bool question(QWidget* parent, const QString& title, const QString& text) override
    {
        asked.append({QStringLiteral("question"), title, text, QString(), QString(), parent != nullptr});
        return yes;
    }

    QStringList kinds() const
    {
        QStringList list;
        for (const Asked& a : asked) list << a.kind;
        return list;
    }
};
