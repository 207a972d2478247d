// The registered panel host.
#include "PanelHost.h"

namespace {

PanelHost* g_host = nullptr;

}  // namespace

PanelHost* PanelHost::Get() { return g_host; }

void PanelHost::Set(PanelHost* host) { g_host = host; }
