#include "dump/DumpPart.h"

DumpPart::DumpPart(ModuleLink& link) : m_link(link), m_data(link.Data()), m_state(link.State()) {}
