#pragma once

namespace qb {

class Dialogs;
class FailureReport;
class Form_main;

// Gives the search page's result list its export and print: "导出查询结果…"
// and "打印查询结果…" in the list's context menu, and Ctrl+E and Ctrl+P
// anywhere on the search page; both stay disabled while the list is empty.
// The export asks for a folder, shows its progress with a cancel button
// when it takes more than a second, and ends with one message that offers
// to open the new folder.
void attachReceiptExport(Form_main& window, Dialogs& dialogs, FailureReport& report);

} // namespace qb
