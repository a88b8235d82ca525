#pragma once
// The default ("user agent") style sheet of the HTML view: how HTML elements
// look before a page's own styles apply (block elements, margins of headings
// and paragraphs, lists, tables, forms, hidden head content).

namespace ombrelo {

// CSS text handed to the layout engine as its master style sheet.
const char* MasterStylesheet();

}  // namespace ombrelo
