#include "Category.h"
#include "Datum.h"
#include "SearchCriteria.h"

namespace tessary {

CDatum* CDatum::Match(const CSearchCriteria&, std::size_t) { return nullptr; }
void CCategory::CollectMatches(const CSearchCriteria&, std::vector<CDatum*>&) const {}

} // namespace tessary
