#pragma once

namespace tessary {

// Placeholder until search matching lands.
class CSearchCriteria {
public:
    virtual ~CSearchCriteria() = default;
};

} // namespace tessary
