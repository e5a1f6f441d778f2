#include "Category.h"
#include "Datum.h"

namespace tessary {

void CCategory::ScanFolder(const std::string&) {}
void CDatum::RefreshFileStatus() {}

} // namespace tessary
