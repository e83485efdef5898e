#pragma once

#include <QString>

class QWidget;

// Every modal question and file picker of the program goes through here, so
// tests can install their own answers.
class UserDialogs {
public:
    virtual ~UserDialogs();

    // Null when the user cancels.
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter);
    // The same, with the filter the user picked in *selectedFilter (which
    // holds the one proposed on entry). Answers that only know the form above
    // leave it as proposed.
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                                 QString* selectedFilter);
    virtual QString openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter);
    virtual void information(QWidget* parent, const QString& title, const QString& text);
    virtual void warning(QWidget* parent, const QString& title, const QString& text);
    // True for "Yes".
    virtual bool question(QWidget* parent, const QString& title, const QString& text);

    // The dialogs in use: the Qt ones unless a test installed others.
    static UserDialogs& current();
    // Not owned; null restores the Qt dialogs.
    static void install(UserDialogs* dialogs);
};
