#pragma once

namespace qb {

class Connection;

// Makes a new store's tables (categories and receipts) and the program's own
// indexes beside them, on a connected store that holds nothing yet. Throws
// StoreError when the store refuses one of them.
void makeStoreTables(Connection& store);

// Gives a store made before the program's own indexes existed the ones it
// lacks. Each is tried on its own; where one cannot be made (a store opened
// read-only, a busy peer) the program works without it, only slower.
void addProgramIndexes(Connection& store);

} // namespace qb
