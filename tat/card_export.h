// The AVI export of recordings of the library's card, through a card reader of its own, on
// the calling thread: what `roadkeep-tool export` and the evidence package run (the viewer's
// own export runs on its worker, with a cancel of its own). The observer may cancel.
#pragma once

#include <string>
#include <vector>

#include "containers/recording_export.h"

struct TatHandle;

// CRecordingExport::ExportAll of jobs into folder: one result per job tried.
std::vector<ExportResult> ExportFromCard(TatHandle* library, const std::string& folder,
                                         const std::vector<ExportJob>& jobs,
                                         CRecordingExport::Observer& observer);
