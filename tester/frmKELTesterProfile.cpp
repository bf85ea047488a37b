#include "frmKELTester.h"

#include "Controls.h"
#include "LeadingNumber.h"
#include "MessageBox.h"
#include "MivError.h"
#include "ProfileFile.h"
#include "RecentFolder.h"
#include "TesterSession.h"
#include "frmConn.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>

namespace {

const QStringList kProfileFilters{QStringLiteral("Profiles (*.toml)"), QStringLiteral("All files (*)")};

// The file the user picks, or "" when the dialog is cancelled.
QString AskProfileFile(QWidget *parent, bool save)
{
    QFileDialog dialog(parent, save ? QStringLiteral("Save Profile") : QStringLiteral("Open Profile"));
    dialog.setObjectName(save ? QStringLiteral("dlgProfileSave") : QStringLiteral("dlgProfileOpen"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(kProfileFilters);
    dialog.setDefaultSuffix(QStringLiteral("toml"));
    if (!RecentFolder().isEmpty())
        dialog.setDirectory(RecentFolder());
    if (save)
        dialog.selectFile(QStringLiteral("profile.toml"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    NoteRecentFile(dialog.selectedFiles().constFirst());
    return dialog.selectedFiles().constFirst();
}

} // namespace

// Below Reconnect Automatically in the Tools menu.
void frmKELTester::buildProfileMenu()
{
    auto *tools = findChild<QMenu *>(QStringLiteral("mnuTools"));
    mnuToolsSP1 = MakeSeparator(tools, "mnuToolsSP1");
    mnuToolsOpenProfile = MakeAction(tools, "mnuToolsOpenProfile", QStringLiteral("&Open Profile..."));
    mnuToolsSaveProfile = MakeAction(tools, "mnuToolsSaveProfile", QStringLiteral("&Save Profile..."));
    connect(mnuToolsOpenProfile, &QAction::triggered, this, &frmKELTester::mnuToolsOpenProfile_Click);
    connect(mnuToolsSaveProfile, &QAction::triggered, this, &frmKELTester::mnuToolsSaveProfile_Click);
}

// Throws MivError for a Reply field whose number does not fit 32 bits (its check lets the focus
// leave with such a text).
Profile frmKELTester::currentProfile() const
{
    Profile profile;
    const frmConn *dialog = frmConn::instance();
    // What the dialog shows at its next opening: the accepted settings, numbers as they fit.
    profile.connection = dialog->storedSettings();
    const ConnSettings shown = dialog->CurrentSettings();
    profile.connection.myIP = shown.myIP;
    profile.connection.myIPPort = shown.myIPPort;
    profile.connected = m_session->isOpen();
    profile.reconnect = reconnectAutomatically();
    profile.reply = {LeadingInt32(txtHRESULT->text()), cmbVTType->currentText(), txtValue->text(),
                     LeadingInt32(txtDelay->text())};
    for (int i = 0; i < int(std::size(txtVarName)); ++i)
        profile.target[i] = txtVarName[i]->text();
    profile.performance = m_perfLast;
    return profile;
}

void frmKELTester::applyProfile(const Profile &profile)
{
    frmConn *dialog = frmConn::instance();
    if (profile.connected)
        dialog->acceptSettings(profile.connection);
    else
        dialog->setSettings(profile.connection);
    txtHRESULT->setText(QString::number(profile.reply.hresult));
    cmbVTType->setCurrentIndex(cmbVTType->findText(profile.reply.type));
    txtValue->setText(profile.reply.value);
    txtDelay->setText(QString::number(profile.reply.delay));
    // The type's rule enables the value field; the panel's own state decides again.
    EnableReply(txtHRESULT->isEnabled());
    for (int i = 0; i < int(std::size(txtVarName)); ++i)
        txtVarName[i]->setText(profile.target[i]);
    m_perfStart = profile.performance;
    m_perfLast = profile.performance;
    setReconnectAutomatically(profile.reconnect);
    if (profile.connected)
        Connect(dialog->settings());
}

void frmKELTester::mnuToolsOpenProfile_Click()
{
    const QString path = AskProfileFile(this, false);
    if (path.isEmpty())
        return;
    QString error;
    const std::optional<Profile> profile = LoadProfile(path, &error);
    if (!profile) {
        ShowMessageBox(this, error);
        return;
    }
    applyProfile(*profile);
}

void frmKELTester::mnuToolsSaveProfile_Click()
{
    Profile profile;
    try {
        profile = currentProfile();
    } catch (const MivError &error) {
        ShowMessageBox(this, QStringLiteral("The profile cannot hold the Reply panel's numbers: %1").arg(error.description()));
        return;
    }
    const QString path = AskProfileFile(this, true);
    if (path.isEmpty())
        return;
    QString error;
    if (!SaveProfile(path, profile, &error))
        ShowMessageBox(this, error);
}
