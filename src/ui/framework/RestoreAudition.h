#pragma once
// RestoreAudition: stops a running audition for the lifetime of the guard and
// starts it again at the end. Editors hold one while they save a preset or
// apply an undo record, so neither runs while the module auditions.

class ParamRecord;
class Proteus;

class RestoreAudition {
public:
    /// audition: the AUDITION_BUTTON record; its value 1 means running.
    RestoreAudition(Proteus* proteus, const ParamRecord* audition);
    ~RestoreAudition();
    RestoreAudition(const RestoreAudition&) = delete;
    RestoreAudition& operator=(const RestoreAudition&) = delete;

private:
    Proteus* m_proteus;
    int m_kept;
};
