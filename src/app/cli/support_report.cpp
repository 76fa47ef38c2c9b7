#include "app/cli/support_report.h"

namespace kelvaro::cli {

static ReportPdfWriter& slot() {
  static ReportPdfWriter writer;
  return writer;
}

void setReportPdfWriter(ReportPdfWriter writer) { slot() = std::move(writer); }
const ReportPdfWriter& reportPdfWriter() { return slot(); }

}  // namespace kelvaro::cli
