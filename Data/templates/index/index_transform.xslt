<?xml version="1.0" encoding="UTF-8"?>
<!--
  Ombrelo index photo: "Contact sheet".
  A white sheet: a header with the video's title, length, file size and
  frame size, then the thumbnails in rows with their times. Laid out with
  one table and pixel sizes only, so the picture comes out the same in
  every HTML renderer.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8" indent="no"/>

  <xsl:variable name="perRow">
    <xsl:choose>
      <xsl:when test="number(/movie/settings/images_per_row) &gt; 0">
        <xsl:value-of select="number(/movie/settings/images_per_row)"/>
      </xsl:when>
      <xsl:otherwise>3</xsl:otherwise>
    </xsl:choose>
  </xsl:variable>
  <xsl:variable name="w">
    <xsl:choose>
      <xsl:when test="number(/movie/settings/width) &gt; 0"><xsl:value-of select="number(/movie/settings/width)"/></xsl:when>
      <xsl:otherwise>320</xsl:otherwise>
    </xsl:choose>
  </xsl:variable>
  <xsl:variable name="h">
    <xsl:choose>
      <xsl:when test="number(/movie/settings/height) &gt; 0"><xsl:value-of select="number(/movie/settings/height)"/></xsl:when>
      <xsl:otherwise>240</xsl:otherwise>
    </xsl:choose>
  </xsl:variable>
  <!-- Each cell: 8 px padding and a 1 px border on both sides, 10 px between cells. -->
  <xsl:variable name="sheetWidth">
    <xsl:choose>
      <xsl:when test="count(/movie/entry) = 0">480</xsl:when>
      <xsl:otherwise><xsl:value-of select="$perRow * ($w + 18) + ($perRow + 1) * 10"/></xsl:otherwise>
    </xsl:choose>
  </xsl:variable>

  <xsl:template match="/">
    <xsl:text disable-output-escaping="yes">&lt;!DOCTYPE html&gt;&#10;</xsl:text>
    <html>
      <head>
        <title><xsl:value-of select="/movie/title"/></title>
        <style type="text/css">
body { margin: 0; padding: 0; background-color: #e9ecf1; font-family: sans-serif; color: #1f2933; }
table.sheet { border-collapse: separate; border-spacing: 10px; background-color: #e9ecf1; }
td.head { background-color: #1f2933; color: #ffffff; padding: 14px 18px 14px 18px; text-align: left; }
div.title { font-size: 22px; font-weight: bold; line-height: 28px; color: #ffffff; }
div.facts { font-size: 13px; line-height: 20px; color: #c5ccd6; padding-top: 6px; }
span.fact { display: inline-block; padding-right: 22px; white-space: nowrap; }
span.label { color: #8fa0b3; font-size: 11px; padding-right: 5px; }
span.value { color: #ffffff; font-weight: bold; }
span.brand { color: #ff8a63; font-size: 11px; font-weight: bold; }
td.shot { background-color: #ffffff; border: 1px solid #cfd6df; padding: 8px 8px 6px 8px; text-align: center; vertical-align: top; }
td.blank { padding: 0; }
img.thumb { display: block; border: 0; background-color: #101418; }
div.time { font-size: 13px; line-height: 18px; font-weight: bold; color: #1f2933; padding-top: 5px; text-align: left; }
span.frame { float: right; font-weight: normal; color: #7b8794; font-size: 12px; }
div.none { font-size: 14px; color: #52606d; padding: 24px; text-align: center; }
</style>
      </head>
      <body>
        <xsl:apply-templates select="movie"/>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="movie">
    <table class="sheet" width="{$sheetWidth}" cellspacing="10" cellpadding="0">
      <tr>
        <td class="head" colspan="{$perRow}">
          <div class="title">
            <xsl:call-template name="stem">
              <xsl:with-param name="name" select="title"/>
            </xsl:call-template>
          </div>
          <div class="facts">
            <span class="fact"><span class="label">LENGTH</span><span class="value">
              <xsl:call-template name="length">
                <xsl:with-param name="text" select="length"/>
              </xsl:call-template>
            </span></span>
            <span class="fact"><span class="label">SIZE</span><span class="value">
              <xsl:call-template name="size">
                <xsl:with-param name="kb" select="size"/>
              </xsl:call-template>
            </span></span>
            <span class="fact"><span class="label">FRAME</span><span class="value"><xsl:value-of select="width"/> × <xsl:value-of select="height"/></span></span>
            <span class="fact"><span class="label">SHOTS</span><span class="value"><xsl:value-of select="count(entry)"/></span></span>
          </div>
        </td>
      </tr>
      <xsl:choose>
        <xsl:when test="entry">
          <xsl:for-each select="entry[position() mod $perRow = 1 or $perRow = 1]">
            <tr>
              <xsl:apply-templates select=". | following-sibling::entry[position() &lt; $perRow]"/>
              <xsl:call-template name="blanks">
                <xsl:with-param name="count" select="$perRow - 1 - count(following-sibling::entry[position() &lt; $perRow])"/>
              </xsl:call-template>
            </tr>
          </xsl:for-each>
        </xsl:when>
        <xsl:otherwise>
          <tr><td class="shot" colspan="{$perRow}"><div class="none">No thumbnails</div></td></tr>
        </xsl:otherwise>
      </xsl:choose>
    </table>
  </xsl:template>

  <xsl:template match="entry">
    <xsl:variable name="src"><xsl:call-template name="url"><xsl:with-param name="path" select="file"/></xsl:call-template></xsl:variable>
    <td class="shot" width="{$w}">
      <img class="thumb" src="{$src}" width="{$w}" height="{$h}" alt=""/>
      <div class="time" style="width: {$w}px;">
        <span class="frame">#<xsl:value-of select="frame"/></span>
        <xsl:call-template name="clock">
          <xsl:with-param name="text" select="time"/>
        </xsl:call-template>
      </div>
    </td>
  </xsl:template>

  <!-- Empty cells that complete the last row. -->
  <xsl:template name="blanks">
    <xsl:param name="count"/>
    <xsl:if test="$count &gt; 0">
      <td class="blank" width="{$w + 18}"></td>
      <xsl:call-template name="blanks">
        <xsl:with-param name="count" select="$count - 1"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <!-- "HH:MM:SS:mmm" as a player shows it: "M:SS", or "H:MM:SS" from one hour on. -->
  <xsl:template name="clock">
    <xsl:param name="text"/>
    <xsl:variable name="h" select="number(substring($text, 1, 2))"/>
    <xsl:variable name="m" select="number(substring($text, 4, 2))"/>
    <xsl:variable name="s" select="substring($text, 7, 2)"/>
    <xsl:choose>
      <xsl:when test="$h &gt; 0">
        <xsl:value-of select="concat($h, ':', substring($text, 4, 2), ':', $s)"/>
      </xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="concat($m, ':', $s)"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- "H:MM:SS.mmm" without the milliseconds, and without hours when there are none. -->
  <xsl:template name="length">
    <xsl:param name="text"/>
    <xsl:variable name="h" select="substring-before($text, ':')"/>
    <xsl:variable name="rest" select="substring-after($text, ':')"/>
    <xsl:variable name="clock">
      <xsl:choose>
        <xsl:when test="contains($rest, '.')">
          <xsl:value-of select="substring-before($rest, '.')"/>
        </xsl:when>
        <xsl:otherwise>
          <xsl:value-of select="$rest"/>
        </xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="number($h) &gt; 0">
        <xsl:value-of select="concat($h, ':', $clock)"/>
      </xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="concat(number(substring-before($clock, ':')), ':', substring-after($clock, ':'))"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- A size in kilobytes in the largest unit that keeps a number above 1. -->
  <xsl:template name="size">
    <xsl:param name="kb"/>
    <xsl:choose>
      <xsl:when test="number($kb) &gt;= 1048576">
        <xsl:value-of select="format-number($kb div 1048576, '#,##0.00')"/> GB</xsl:when>
      <xsl:when test="number($kb) &gt;= 1024">
        <xsl:value-of select="format-number($kb div 1024, '#,##0.0')"/> MB</xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="format-number($kb, '#,##0')"/> KB</xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- A relative path made safe for href and src: "%", "#" and "?" are
       escaped here; the HTML output escapes blanks and non-ASCII letters. -->
  <xsl:template name="url">
    <xsl:param name="path"/>
    <xsl:choose>
      <xsl:when test="contains($path, '%')">
        <xsl:call-template name="url">
          <xsl:with-param name="path" select="substring-before($path, '%')"/>
        </xsl:call-template>
        <xsl:text>%25</xsl:text>
        <xsl:call-template name="url">
          <xsl:with-param name="path" select="substring-after($path, '%')"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="contains($path, '#')">
        <xsl:call-template name="url">
          <xsl:with-param name="path" select="substring-before($path, '#')"/>
        </xsl:call-template>
        <xsl:text>%23</xsl:text>
        <xsl:call-template name="url">
          <xsl:with-param name="path" select="substring-after($path, '#')"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="contains($path, '?')">
        <xsl:call-template name="url">
          <xsl:with-param name="path" select="substring-before($path, '?')"/>
        </xsl:call-template>
        <xsl:text>%3F</xsl:text>
        <xsl:call-template name="url">
          <xsl:with-param name="path" select="substring-after($path, '?')"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="$path"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- A file name without its extension. -->
  <xsl:template name="stem">
    <xsl:param name="name"/>
    <xsl:param name="done" select="''"/>
    <xsl:choose>
      <xsl:when test="contains($name, '.')">
        <xsl:call-template name="stem">
          <xsl:with-param name="name" select="substring-after($name, '.')"/>
          <xsl:with-param name="done">
            <xsl:value-of select="$done"/>
            <xsl:if test="$done != ''">.</xsl:if>
            <xsl:value-of select="substring-before($name, '.')"/>
          </xsl:with-param>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="$done = ''">
        <xsl:value-of select="$name"/>
      </xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="$done"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
