#include "compose/tip.h"

namespace kivo {

TipRect TipWindowRect(int x, int y, int textWidth, int textHeight) {
    return {x, y + 24, textWidth + 6, textHeight + 2};
}

}  // namespace kivo
