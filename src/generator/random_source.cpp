#include "random_source.h"

namespace zovex {

RandomSource& RandomSource::shared()
{
    static RandomSource source;
    return source;
}

} // namespace zovex
