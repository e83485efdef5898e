#pragma once

#include <QList>
#include <QString>

#include "UserDialogs.h"

// Answers the pages' questions from the test and records every box shown.
class AnsweringDialogs : public UserDialogs {
public:
    AnsweringDialogs() { UserDialogs::install(this); }
    ~AnsweringDialogs() override { UserDialogs::install(nullptr); }

    bool answerYes = true;
    // "information|Notice|DLL is not loaded!"
    QStringList shown;

    void information(QWidget*, const QString& title, const QString& text) override
    {
        shown << QStringLiteral("information|") + title + QLatin1Char('|') + text;
    }
    bool question(QWidget*, const QString& title, const QString& text) override
    {
        shown << QStringLiteral("question|") + title + QLatin1Char('|') + text;
        return answerYes;
    }
};
