// The settings button (1016) and F3: find the recorder's settings file on a card and run the
// settings dialog on it (settings/recorder_settings.h, settings/setting_dlg.h).
#include <QMessageBox>

#include "app/main_window.h"
#include "platform/removable_drives.h"
#include "resources/resource_ids.h"
#include "settings/recorder_settings.h"
#include "settings/setting_dlg.h"

bool CZarezeRadidaDlg::LocateSettingsFile() {
  if (ExportBusy()) return false;
  const int status = m_playback.Player().Status();
  if (status == CQMVMediaPlayer::kPlaying || status == CQMVMediaPlayer::kStill) OnPause();
  const std::string path =
      FindSettingsFile(roadkeep::platform::RemovableVolumes(), m_library);
  if (!path.empty()) {
    CSettingDlg dialog(this, m_langId);
    dialog.SetFilePath(path);
    dialog.exec();
    return true;
  }
  QMessageBox message(QMessageBox::Warning, LoadString(IDS_APP_TITLE),
                      FormatResourceText(LoadString(IDS_NO_SETTINGS_FILE_EN, m_language)),
                      QMessageBox::Ok, this);
  message.setObjectName(QStringLiteral("NoSettingsMessage"));
  message.exec();
  return false;
}
