// The recording list and the card watch (being written).
#include <QTreeWidget>

#include "app/main_window.h"
#include "app/window_controls.h"

void CZarezeRadidaDlg::PollCard() {}
void CZarezeRadidaDlg::OnOpen() {}
void CZarezeRadidaDlg::OnKindButton(int) {}
bool CZarezeRadidaDlg::FillRecordingList(int) { return true; }
void CZarezeRadidaDlg::CollectRecordings(int, QStringList&) {}
void CZarezeRadidaDlg::OnSelectAll() {}
void CZarezeRadidaDlg::OnListItemChanged() {}
void CZarezeRadidaDlg::OnListDoubleClick(int) {}
void CZarezeRadidaDlg::CollectCheckedNames() {}
void CZarezeRadidaDlg::ConnectListControls() {}
void CZarezeRadidaDlg::ShowCardMessage() {}

QString CZarezeRadidaDlg::RowName(int row) const {
  const QTreeWidgetItem* item = m_controls->List()->topLevelItem(row);
  return item != nullptr ? item->text(1) : QString();
}

int CZarezeRadidaDlg::RowCount() const { return m_controls->List()->topLevelItemCount(); }
