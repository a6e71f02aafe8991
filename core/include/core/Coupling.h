// The input coupling of a scope channel. The settings, snapshots and signal files hold it as
// 0 AC, 1 DC (CChannelProps::m_nCoupling); the records of the recorder and the analyzer hold it the
// other way round, 1 AC, 0 DC, as their files store it (CRecord::m_nCoupling). Code that carries a
// coupling from one side to the other uses this type, and only CRecord's accessors know the
// record's numbers.
#pragma once

enum class Coupling : int { AC = 0, DC = 1 };

// The coupling of a settings value: 0 AC, anything else DC (the board's channel mode 2).
constexpr Coupling CouplingOfSetting(int value) { return value != 0 ? Coupling::DC : Coupling::AC; }
