// Snapshot capture (button 1017): the naming of the files a capture writes. The command
// itself is CZarezeRadidaDlg::OnCapture (snapshot.cpp).
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>

// The name the save dialog offers: "Capture_YYYYMMDD_HHMMSS.jpg" of when, each number padded
// (unpadded, two moments could give the same name).
QString CaptureDefaultName(const QDateTime& when);

// The moment positionMs into a recording by the recorder's clock: its start time (seconds
// since 1970 as the recorder counts them, read without a zone), else the date and time in its
// name; invalid when neither tells.
QDateTime RecordedAt(uint32_t startTime, const QString& name, int64_t positionMs);

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
