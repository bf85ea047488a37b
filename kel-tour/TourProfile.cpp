// The tour's stage for Tools > Save Profile...: what the tour set, kept for another start.
#include "Tour.h"

#include "ProfileFile.h"
#include "UserActions.h"
#include "WindowControls.h"
#include "frmKELTester.h"

#include <QFile>
#include <QFileDialog>
#include <QLineEdit>

#include <memory>

using namespace UserActions;

namespace {

const QString kProfileName = QStringLiteral("tour-profile.toml");

} // namespace

bool Tour::saveProfile()
{
    const QString path = m_folder.filePath(kProfileName);
    QFile::remove(path); // the dialog would ask before writing over the last tour's
    auto asked = std::make_shared<bool>(false);
    WhenModal<QFileDialog>(
        [path, asked](QFileDialog *dialog) {
            *asked = true;
            Control<QLineEdit>(dialog, "fileNameEdit")->setText(path);
            static_cast<QDialog *>(dialog)->accept(); // as the Save button does
        },
        [] {});
    Command(m_window.get(), "mnuToolsSaveProfile")->trigger();
    QString error;
    const std::optional<Profile> saved = LoadProfile(path, &error);
    if (!check(*asked && saved, QStringLiteral("save the profile: ") + error)
        || !check(saved->connected && saved->target[0] == u"A" && saved->performance.mode == PerfSettings::WriteRead,
                  QStringLiteral("keep the connection, the target and the performance settings in the profile")))
        return false;
    say(QStringLiteral("Tools > Save Profile...: %1; KELTester --profile %1 starts connected, as the tour ends").arg(kProfileName));
    return true;
}
