#pragma once

class COstrevaneDoc;

// The original design's sort, for comparison only: a stable exchange sort by
// ID that swaps the contents of neighbouring nodes and restarts from the
// head after every exchange.
void RestartingExchangeSort(COstrevaneDoc& doc);
