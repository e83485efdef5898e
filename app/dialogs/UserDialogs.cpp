#include "UserDialogs.h"

#include <typeinfo>

#include <QFileDialog>
#include <QMessageBox>

namespace {
UserDialogs* installed = nullptr;
} // namespace

UserDialogs::~UserDialogs() = default;

QString UserDialogs::saveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

QString UserDialogs::saveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                                  QString* selectedFilter)
{
    // Installed answers that know only the shorter form still answer.
    if (typeid(*this) != typeid(UserDialogs)) return saveFileName(parent, caption, dir, filter);
    return QFileDialog::getSaveFileName(parent, caption, dir, filter, selectedFilter);
}

QString UserDialogs::openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

void UserDialogs::information(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::information(parent, title, text, QMessageBox::Ok);
}

void UserDialogs::warning(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::warning(parent, title, text, QMessageBox::Ok);
}

bool UserDialogs::question(QWidget* parent, const QString& title, const QString& text)
{
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

UserDialogs& UserDialogs::current()
{
    static UserDialogs qtDialogs;
    return installed ? *installed : qtDialogs;
}

void UserDialogs::install(UserDialogs* dialogs) { installed = dialogs; }
