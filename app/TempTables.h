// The temporary tables of the process in the making, for an interrupt's cleanup.
#ifndef KINREC_TEMP_TABLES_H
#define KINREC_TEMP_TABLES_H

#include "kinrec.h"

#include <string>

// Hooks that keep every temporary table's name from its creation to its landing or
// removal; the library makes, moves and removes them under the registry's lock.
class TempTableHooks : public kinrec::WriteHooks {
  public:
    void Lock() override;
    void Unlock() override;
    void Made(const std::string& temp) override;
    void Gone(const std::string& temp) override;
};

// Removes every temporary table of the process and keeps new ones from being made: the
// interrupt's cleanup. It never returns the lock, as the process is about to end.
void RemoveTemporaryTables();

#endif
