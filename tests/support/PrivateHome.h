#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QTemporaryDir>
#include <QtGlobal>

// Points HOME and the XDG folders at a fresh folder while it lives: the
// program's snapshot folders and the settings it keeps per camera then never
// touch, or come from, the files of the person running the tests.
class PrivateHome {
public:
    PrivateHome()
    {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
            saved_.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
        const QByteArray home = QFile::encodeName(dir_.path());
        qputenv("HOME", home);
        qputenv("XDG_CONFIG_HOME", home + "/.config");
        qputenv("XDG_DATA_HOME", home + "/.local/share");
        qputenv("XDG_CACHE_HOME", home + "/.cache");
    }
    ~PrivateHome()
    {
        for (const Saved& s : saved_) {
            if (s.wasSet)
                qputenv(s.name, s.value);
            else
                qunsetenv(s.name);
        }
    }
    PrivateHome(const PrivateHome&) = delete;
    PrivateHome& operator=(const PrivateHome&) = delete;

    bool isValid() const { return dir_.isValid(); }
    QString path() const { return dir_.path(); }

private:
    struct Saved {
        const char* name;
        QByteArray value;
        bool wasSet;
    };
    QTemporaryDir dir_;
    QList<Saved> saved_;
};
