#pragma once

#include <QDir>
#include <QFileInfo>
#include <QString>

// Where the next file dialog for a file to write starts: the folder of the file the user chose
// last in this run. Kept in memory only; empty until a file is chosen.
inline QString &RecentFolder()
{
    static QString folder;
    return folder;
}

inline void NoteRecentFile(const QString &path)
{
    RecentFolder() = QFileInfo(path).absolutePath();
}

// The file name in the recent folder; as given while there is none.
inline QString InRecentFolder(const QString &fileName)
{
    return RecentFolder().isEmpty() ? fileName : QDir(RecentFolder()).filePath(fileName);
}
