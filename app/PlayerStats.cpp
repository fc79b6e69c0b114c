#include "app/PlayerStats.h"

namespace kobal {
int runPlayerStats(const QStringList&) {
    return 2;
}
} // namespace kobal
