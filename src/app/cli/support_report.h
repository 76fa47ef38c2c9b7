#pragma once
// The report command's PDF output goes through the report window's printing, which needs Qt;
// the Qt part of the batch tool installs it here, so the command itself stays plain.
#include <functional>
#include <string>

namespace kelvaro::cli {

struct ReportPdfOptions {
  std::string fontName = "Arial";
  int fontSize = 10;
};

// Prints `html` into the PDF file `path`; throws FileError when it cannot be written.
using ReportPdfWriter = std::function<void(const std::string& html, const std::string& path, const ReportPdfOptions&)>;

void setReportPdfWriter(ReportPdfWriter writer);
// Empty when the batch tool was built without Qt.
const ReportPdfWriter& reportPdfWriter();

}  // namespace kelvaro::cli
