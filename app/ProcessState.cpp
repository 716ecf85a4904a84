#include "app/ProcessState.h"

ProcessState& Process() {
    static ProcessState state;
    return state;
}
