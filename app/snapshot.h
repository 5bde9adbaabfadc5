// Snapshot capture (button 1017): the naming of the files a capture writes. The command
// itself is CZarezeRadidaDlg::OnCapture (snapshot.cpp).
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// The name the save dialog offers: "Capture_%d%d%d_%d%d%d.jpg" of the local year, month,
// day, hour, minute and second, unpadded (so two moments can give the same name).
QString CaptureDefaultName(const QDateTime& when);

// The dialog's file-type filter.
QString CaptureFilter();

// The base of the snapshot files for the path chosen in the dialog: the path itself when its
// file name has no extension, otherwise the path without its last 4 characters (the length of
// ".jpg", whatever the extension is: pic.jpeg gives "pic."). The cut never reaches into the
// folder part: a file name of 4 characters or fewer loses only its extension.
QString SnapshotBase(const QString& chosen);

// The files a capture writes for the chosen path: base + "_front.jpg", and base + "_rear.jpg"
// when the recording has more than one camera. The chosen file itself is never written.
QStringList SnapshotFiles(const QString& chosen, int cameraCount);
