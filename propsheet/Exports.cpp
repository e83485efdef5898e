// The library's two entry points; everything else stays hidden.
#include <QApplication>
#include <QPointer>

#include "dialog1.h"

extern "C" {

__attribute__((visibility("default"))) void ShowDlg(IUnknown* filter)
{
    // The dialog needs the caller's widget application and its event loop.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    try {
        // Guarded: a parent window closing during exec() takes the dialog with it.
        QPointer<dialog1> dialog = new dialog1(filter, QApplication::activeWindow());
        dialog->exec();
        delete dialog.data();
    } catch (...) {
        // Nothing may unwind into the caller.
    }
}

__attribute__((visibility("default"))) const char* test() { return "hello"; }

} // extern "C"
