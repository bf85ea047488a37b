#pragma once

#include "Profile.h"

#include <QList>
#include <QString>
#include <QStringList>

// The keys of a profile, in the order a saved profile has them: where each lives, what it takes
// and which setting it is. The reader and the writer both follow this list, so that they cannot
// disagree.
struct ProfileField
{
    enum class Kind {
        Text,   // any text
        Whole,  // a whole number from min to max
        Flag,   // true or false
        Choice, // one of choices (as numbers when wholeChoices)
    };
    const char *table = nullptr;
    const char *key = nullptr;
    const char *comment = nullptr;
    Kind kind = Kind::Text;
    // The setting, by the kind of member that holds it: exactly one is set.
    QString &(*text)(Profile &) = nullptr;  // a text, a number as text, or a list entry's text
    int &(*number)(Profile &) = nullptr;    // a number, a list index, or a check value
    bool &(*flag)(Profile &) = nullptr;
    qint64 min = 0;
    qint64 max = 0;
    QStringList choices;
    bool wholeChoices = false;
};

struct ProfileTable
{
    const char *name;
    const char *comment;
};

const QList<ProfileTable> &ProfileTables();
const QList<ProfileField> &ProfileFields();

// The setting as the file writes it, before quoting: "true", "38400", "NONE", a text; empty for
// a list index outside the list.
QString FieldText(const ProfileField &field, Profile &profile);
// Sets the setting from such a text, which the reader has checked.
void SetFieldText(const ProfileField &field, Profile &profile, const QString &text);
