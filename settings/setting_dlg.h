// CSettingDlg: the modal settings dialog (template 303) over the recorder's settings file.
// It fills its controls from the file when first shown and, on Save, writes the settings the
// user changed since then; opening and closing it writes nothing. The rules
// (list entries, selection arithmetic, share check, write order, whole-file save) are the
// Qt-free ones of settings/recorder_settings.h. Every control carries its id as its object
// name. GUI thread only.
#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <utility>

#include "platform/version.h"
#include "resources/resources.h"
#include "settings/recorder_settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;

class CSettingDlg : public QDialog {
 public:
  // langId: the platform language identifier that chooses the captions.
  explicit CSettingDlg(QWidget* parent = nullptr, unsigned langId = SystemLangId());
  ~CSettingDlg() override;
  CSettingDlg(const CSettingDlg&) = delete;
  CSettingDlg& operator=(const CSettingDlg&) = delete;

  // The file edited (it need not exist yet) and its factory text.
  // REQUIRES: before the dialog is first shown.
  void SetFile(SettingsFile file) { m_file = std::move(file); }
  // A card that takes no writes: Save is off and the dialog says why. Before it is shown.
  void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
  const std::string& FilePath() const { return m_file.path; }
  UiLanguage Language() const { return m_language; }

  // Fills the controls from the file (clock lists from the PC's local time now).
  virtual void ReadSettings();
  // The model's resolution controls; this dialog has none, so it only reads dim_front.
  virtual void ApplyModel(const QString& model);
  // Validates and saves what the controls changed; false when the shares do not sum to 100
  // or the card did not take the file (LastSave says which).
  virtual bool WriteSettings();
  SaveResult LastSave() const { return m_lastSave; }

  // The controls' state as the form that is saved, and the other way round. ShowForm does not
  // change what a save compares against (the form as the file was read).
  SettingsForm Form() const;
  void ShowForm(const SettingsForm& form);
  // The clock the lists are filled from; the PC's local time when never set (tests fix it).
  void SetClockForTest(const std::tm& now) { m_clock = now; m_clockSet = true; }
  // dim_front as ApplyModel read it; empty for the models without resolution choice.
  const std::string& FrontResolution() const { return m_dimFront; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void OnInitDialog();
  void CreateControls();
  void SetLanguageTexts();
  // The note under the shares: the template's caution while they add up to 100, else the
  // total in red.
  void ShowShareTotal();
  void OnSave();
  void OnTimeSyncClicked();
  void OnBikeModeClicked();
  void ConnectPair(QCheckBox* on, QCheckBox* off);
  QString Text(const StringIds& ids) const;

  // Set at construction.
  UiLanguage m_language;
  QString m_firmware;  // shown in 1169, empty until read

  // GUI thread only.
  SettingsFile m_file;
  SettingsForm m_opened;  // as read from the file: what the user has not changed
  std::string m_dimFront;
  std::tm m_clock{};
  bool m_clockSet = false;
  bool m_initialised = false;
  bool m_readOnly = false;
  SaveResult m_lastSave = SaveResult::kSaved;
  QComboBox* m_shares[kShareCount] = {};
  QComboBox* m_voltage = nullptr;
  QComboBox* m_time[kTimeFieldCount] = {};
  QCheckBox* m_micOn = nullptr;
  QCheckBox* m_micOff = nullptr;
  QCheckBox* m_voiceOn = nullptr;
  QCheckBox* m_voiceOff = nullptr;
  QCheckBox* m_bike = nullptr;
  QCheckBox* m_sync = nullptr;
  QSlider* m_acc = nullptr;
  QSlider* m_motion = nullptr;
  QLabel* m_viewerVersion = nullptr;
  QLabel* m_firmwareLabel = nullptr;
  QLabel* m_modelLabel = nullptr;
  QLabel* m_caution = nullptr;
};
