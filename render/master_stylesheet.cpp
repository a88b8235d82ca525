#include "render/master_stylesheet.h"

namespace ombrelo {

namespace {

// Written for the CSS subset of the layout engine: no flexbox, no grid, no
// ::marker. Values follow what browsers do for plain HTML so that templates
// written against a browser lay out the same way here.
constexpr const char kMasterStylesheet[] = R"css(
html { display: block; }

head, script, style, title, meta, link, base, template, noscript, param,
datalist, area, map, [hidden] { display: none; }

body {
  display: block;
  margin: 8px;
}

address, article, aside, blockquote, center, details, dialog, dir, div, dl,
fieldset, figcaption, figure, footer, form, header, hgroup, hr, legend,
listing, main, menu, nav, ol, p, plaintext, pre, section, summary, ul, xmp,
optgroup, frameset, frame, iframe { display: block; }

p, dl, multicol { margin-top: 1em; margin-bottom: 1em; }
blockquote, figure { margin: 1em 40px; }
address, i, cite, em, var, dfn { font-style: italic; }
center { text-align: center; }

h1 { display: block; font-size: 2em; font-weight: bold; margin: 0.67em 0; }
h2 { display: block; font-size: 1.5em; font-weight: bold; margin: 0.83em 0; }
h3 { display: block; font-size: 1.17em; font-weight: bold; margin: 1em 0; }
h4 { display: block; font-size: 1em; font-weight: bold; margin: 1.33em 0; }
h5 { display: block; font-size: 0.83em; font-weight: bold; margin: 1.67em 0; }
h6 { display: block; font-size: 0.67em; font-weight: bold; margin: 2.33em 0; }

b, strong, th { font-weight: bold; }
small { font-size: smaller; }
big { font-size: larger; }
sub { vertical-align: sub; font-size: smaller; }
sup { vertical-align: super; font-size: smaller; }
u, ins { text-decoration: underline; }
s, strike, del { text-decoration: line-through; }
tt, code, kbd, samp, pre, listing, xmp, plaintext { font-family: monospace; }
pre, listing, xmp, plaintext { white-space: pre; margin-top: 1em; margin-bottom: 1em; }
nobr { white-space: nowrap; }
mark { background-color: yellow; color: black; }

a:link, a:visited, a[href] { color: #0000ee; text-decoration: underline; cursor: pointer; }

hr {
  border-style: inset;
  border-width: 1px;
  border-color: #808080;
  margin: 0.5em auto;
  height: 0;
}

ul, menu, dir {
  list-style-type: disc;
  margin-top: 1em;
  margin-bottom: 1em;
  padding-left: 40px;
}
ol {
  list-style-type: decimal;
  margin-top: 1em;
  margin-bottom: 1em;
  padding-left: 40px;
}
li { display: list-item; }
ul ul, ol ul, menu ul, dir ul { list-style-type: circle; }
ul ul ul, ul ol ul, ol ul ul, ol ol ul { list-style-type: square; }
ul ul, ul ol, ol ul, ol ol { margin-top: 0; margin-bottom: 0; }
ol[type="a"] { list-style-type: lower-alpha; }
ol[type="A"] { list-style-type: upper-alpha; }
ol[type="i"] { list-style-type: lower-roman; }
ol[type="I"] { list-style-type: upper-roman; }
dd { display: block; margin-left: 40px; }
dt { display: block; }

table {
  display: table;
  border-collapse: separate;
  border-spacing: 2px;
  border-color: gray;
}
table[border] { border-style: outset; }
table[border] td, table[border] th {
  border-style: inset;
  border-width: 1px;
  border-color: gray;
}
table[border="0"] td, table[border="0"] th { border-width: 0; }
caption { display: table-caption; text-align: center; }
colgroup { display: table-column-group; }
col { display: table-column; }
thead { display: table-header-group; vertical-align: middle; }
tbody { display: table-row-group; vertical-align: middle; }
tfoot { display: table-footer-group; vertical-align: middle; }
tr { display: table-row; vertical-align: inherit; }
td, th { display: table-cell; vertical-align: inherit; padding: 1px; }
th { text-align: center; }

img { display: inline-block; }
input, select, button, textarea, keygen { display: inline-block; }
button { text-align: center; }

br { display: block; }
)css";

}  // namespace

const char* MasterStylesheet() { return kMasterStylesheet; }

}  // namespace ombrelo
