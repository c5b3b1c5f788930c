#pragma once
// Error raised by the graph object when a caller reads past its points or names a series it
// does not hold.

#include "common/Errors.h"

namespace velk {

class EgraphexError : public Exception {
public:
    using Exception::Exception;
};

} // namespace velk
