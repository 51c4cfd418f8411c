// A host without Qt for the end-to-end test: puts a table frame into the X window whose id it is given and prints
// the status of CreateNewTable (and of TableDestroy when a frame was made).
//   viewer_native_host WINDOW-ID

#include "korvalin/TableExport.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    using namespace TableExport;
    if (argc != 2 || InitKorvalinRegularDll() != 0)
        return 2;
    CTableFrame* frame = nullptr;
    void* parent = reinterpret_cast<void*>(std::strtoull(argv[1], nullptr, 0));
    const int status = CreateNewTable(&frame, parent, nullptr, 300, 200, 0, 0);
    std::printf("%d", status);
    if (frame)
        std::printf(" %d", TableDestroy(frame));
    std::printf("\n");
    return 0;
}
