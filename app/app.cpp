#include "app/app.h"

#include <QApplication>

#include "app/main_window.h"
#include "app/single_instance.h"
#include "resources/resource_ids.h"
#include "resources/resources.h"

int CZarezeRadidaApp::InitInstance() {
  const QString title = LoadString(IDS_APP_TITLE);
  CSingleInstance instance;
  if (!instance.Acquire(title)) return 0;
  CZarezeRadidaDlg window;
  window.SetQuitOnClose(true);
  window.show();
  return QApplication::exec();
}
