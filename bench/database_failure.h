#pragma once

// For a benchmark's main: called inside `catch (...)`, prints the failure
// being handled (a component's description or Firebird's status) and gives
// the exit status.
int reportDatabaseFailure();
