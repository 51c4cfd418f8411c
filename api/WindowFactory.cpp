#include "api/WindowFactory.h"

namespace api
{

namespace
{
CWindowFactory* g_pFactory = nullptr; // set once while the library is loaded, then only read
}

void SetWindowFactory(CWindowFactory* factory)
{
    g_pFactory = factory;
}

CWindowFactory* GetWindowFactory()
{
    return g_pFactory;
}

} // namespace api
