// The AVI export of recordings of the library's card, through a card reader of its own: what
// the tool's export and evidence commands run on their own thread (the viewer's export runs
// on its worker with a cancel of its own).
#pragma once

#include <string>
#include <vector>

#include "containers/recording_export.h"

struct TatHandle;

// CRecordingExport::ExportAll of jobs into folder: one result per job tried.
std::vector<ExportResult> ExportFromCard(TatHandle* library, const std::string& folder,
                                         const std::vector<ExportJob>& jobs,
                                         CRecordingExport::Observer& observer);
