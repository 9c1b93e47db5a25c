/* Put in front of the game program (LD_PRELOAD) so that its calendar clock reads the second the
   golden round was recorded at: the game seeds its pictures' order from it, so the round's keys
   play the same round again. */
#include <time.h>

time_t time(time_t* when) {
    const time_t recorded = 1796708531;
    if (when) *when = recorded;
    return recorded;
}
