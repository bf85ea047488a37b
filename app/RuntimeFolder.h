#pragma once

#include <QString>
#include <QStringView>

#include <memory>

class QTemporaryDir;

// Qt wants a private runtime folder (XDG_RUNTIME_DIR); a login session has one, an ssh or
// container shell may not, and Qt then warns and picks a shared one. Where the variable is
// unset or empty, this makes a private folder (mode 0700) in the temporary folder and names it
// there for the life of the object: made before QApplication, gone when the program ends, also
// by SIGINT, SIGTERM or SIGHUP. Otherwise it changes nothing.
class RuntimeFolder
{
public:
    explicit RuntimeFolder(QStringView program); // "program-runtime.XXXXXX"
    ~RuntimeFolder();
    RuntimeFolder(const RuntimeFolder &) = delete;
    RuntimeFolder &operator=(const RuntimeFolder &) = delete;

    QString path() const; // empty when the environment had a folder or none could be made

private:
    std::unique_ptr<QTemporaryDir> m_folder;
};
