// The names of the two columns that end the rows of a kind that adjusts p:
// the p that entered the adjustment, then its q. Batch runs write them and
// the merge finds them again by these names, so both take them from here.
#pragma once

inline constexpr const char kLeadColumn[] = "p_lead";
inline constexpr const char kQColumn[] = "q_bh";
