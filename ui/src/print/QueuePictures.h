// The pictures of the print dialog's Add (209) and Print (210) buttons and of the queue preview's
// boxes (204 not included, 205 included, 212 remove, 216 comment): the program's bitmap resources
// when it registered them, else the built-in drawings, 76 x 76 on pure red (the transparent
// colour) for the buttons and 30 x 30 on white for the boxes.
#pragma once

#include <platform/afxgdi.h>

namespace ui_print {

// Makes `picture` the bitmap of the id; false when neither a resource nor a drawing exists.
bool LoadQueuePicture(CBitmap& picture, int id);

}  // namespace ui_print
