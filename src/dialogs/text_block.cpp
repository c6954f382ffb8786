// A heap block that grows as a scan adds to it, for texts whose size only the scan knows.
#include "dialogs.h"

// Room for some fifty ordinary day lines or a dozen long entry names; doubling from there
// copies a block only a few times in all.
enum { TEXT_BLOCK_FIRST_ROOM = 1024 };

static bool ResizeBlock(TextBlock *block, SIZE_T room)
{
    HANDLE heap = GetProcessHeap();
    char *grown = block->bytes ? (char *)HeapReAlloc(heap, 0, block->bytes, room)
                               : (char *)HeapAlloc(heap, 0, room);
    if (!grown)
        return false;
    block->bytes = grown;
    block->room = room;
    return true;
}

// When memory is short and doubling fails, the block grows by just what is needed.
bool AppendToBlock(TextBlock *block, const void *bytes, SIZE_T size)
{
    SIZE_T needed = block->used + size;
    if (needed > block->room) {
        SIZE_T room = block->room > 0 ? block->room : (SIZE_T)TEXT_BLOCK_FIRST_ROOM;
        while (room < needed && room <= ((SIZE_T)-1) / 2)
            room *= 2;
        if (!(room >= needed && ResizeBlock(block, room)) && !ResizeBlock(block, needed))
            return false;
    }
    CopyMemory(block->bytes + block->used, bytes, size);
    block->used = needed;
    return true;
}

void FreeBlock(TextBlock *block)
{
    if (block->bytes)
        HeapFree(GetProcessHeap(), 0, block->bytes);
    *block = TextBlock();
}
