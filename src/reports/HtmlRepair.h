#pragma once
// Report pages are written the way old browsers accepted them, with crossed end tags such as
// "<b><font size="2">Date</b>...</font>". Qt's rich-text parser closes the enclosing table on
// such input, so pages pass through here on their way into a view: the markup is parsed with
// libtidy and written back properly nested. The page text itself is never changed.
#include <string>

namespace kelvaro::reports {

// Properly nested HTML for `html`. Besides the nesting, two things a browser does implicitly
// are made explicit: a table directly inside <center> is centred, and a colspan reaching past
// the table's last column is cut back to it. Throws std::runtime_error when the text cannot be
// parsed at all.
std::string repairReportHtml(const std::string& html);

}  // namespace kelvaro::reports
