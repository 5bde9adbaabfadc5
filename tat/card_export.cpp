#include "tat/card_export.h"

#include <atomic>

#include "containers/avi_writer.h"
#include "tat/tat_parser.h"

std::vector<ExportResult> ExportFromCard(TatHandle* library, const std::string& folder,
                                         const std::vector<ExportJob>& jobs,
                                         CRecordingExport::Observer& observer) {
  CTATParser parser;
  parser.SetLibrary(library);
  parser.Start();
  CAVIWriter writer;
  std::atomic<bool> busy{true};
  CRecordingExport exporter(parser, writer, busy);
  std::vector<ExportResult> results = exporter.ExportAll(folder, jobs, observer);
  parser.Stop();
  return results;
}
