<?xml version="1.0" encoding="UTF-8"?>
<!--
  Ombrelo index photo: "Grid sheet".
  A contact sheet for any number of thumbnails: a header with the video's
  name, length, file size, frame size and the number of shots, then the
  shots on a grid whose number of columns grows with their count, so that
  the sheet keeps about the shape of a wide screen. Each tile shows the
  time of its shot. When the shots are many, the tiles are made narrower
  so that the sheet stays within 8,192 pixels across. Tables and pixel
  sizes only, for any HTML renderer.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8" indent="no"/>

  <!-- The widest sheet, in pixels. -->
  <xsl:variable name="maxSheet" select="8192"/>
  <!-- The shape the sheet aims at: width over height. -->
  <xsl:variable name="shape" select="16 div 9"/>
  <!-- Between tiles and at the edges; inside a tile around the picture. -->
  <xsl:variable name="gap" select="8"/>
  <xsl:variable name="pad" select="4"/>
  <!-- The line under each picture with its time. -->
  <xsl:variable name="caption" select="20"/>

  <xsl:variable name="count" select="count(/movie/entry)"/>
  <xsl:variable name="frameW">
    <xsl:choose>
      <xsl:when test="number(/movie/settings/width) &gt; 0"><xsl:value-of select="number(/movie/settings/width)"/></xsl:when>
      <xsl:otherwise>320</xsl:otherwise>
    </xsl:choose>
  </xsl:variable>
  <xsl:variable name="frameH">
    <xsl:choose>
      <xsl:when test="number(/movie/settings/height) &gt; 0"><xsl:value-of select="number(/movie/settings/height)"/></xsl:when>
      <xsl:otherwise>240</xsl:otherwise>
    </xsl:choose>
  </xsl:variable>

  <xsl:variable name="cols">
    <xsl:call-template name="columns"/>
  </xsl:variable>
  <!-- The picture width of a tile: the frame's, or less when that many
       columns would make the sheet too wide. -->
  <xsl:variable name="w">
    <xsl:variable name="fit" select="floor(($maxSheet - ($cols + 1) * $gap) div $cols) - 2 * $pad"/>
    <xsl:choose>
      <xsl:when test="$fit &lt; $frameW"><xsl:value-of select="$fit"/></xsl:when>
      <xsl:otherwise><xsl:value-of select="$frameW"/></xsl:otherwise>
    </xsl:choose>
  </xsl:variable>
  <xsl:variable name="h" select="round($w * $frameH div $frameW)"/>
  <xsl:variable name="sheetWidth">
    <xsl:choose>
      <xsl:when test="$count = 0">480</xsl:when>
      <xsl:otherwise><xsl:value-of select="$cols * ($w + 2 * $pad) + ($cols + 1) * $gap"/></xsl:otherwise>
    </xsl:choose>
  </xsl:variable>

  <!-- The fewest columns that make the grid at least as wide, against its
       height, as the shape asks (never more columns than shots). -->
  <xsl:template name="columns">
    <xsl:param name="c" select="1"/>
    <xsl:variable name="tileW" select="$frameW + 2 * $pad + $gap"/>
    <xsl:variable name="tileH" select="$frameH + 2 * $pad + $caption + $gap"/>
    <xsl:choose>
      <xsl:when test="$c &gt;= $count or $c * $c * $tileW &gt;= $shape * $count * $tileH">
        <xsl:value-of select="$c"/>
      </xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="columns">
          <xsl:with-param name="c" select="$c + 1"/>
        </xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="/">
    <xsl:text disable-output-escaping="yes">&lt;!DOCTYPE html&gt;&#10;</xsl:text>
    <html>
      <head>
        <title><xsl:value-of select="/movie/title"/></title>
        <style type="text/css">
body { margin: 0; padding: 0; background-color: #202428; font-family: sans-serif; color: #e8eaed; }
table.sheet { border-collapse: separate; border-spacing: 8px; background-color: #202428; }
td.head { background-color: #2e343a; padding: 10px 14px 10px 14px; text-align: left; }
div.title { font-size: 20px; font-weight: bold; line-height: 26px; color: #ffffff; }
div.facts { font-size: 13px; line-height: 20px; padding-top: 4px; }
span.fact { display: inline-block; padding-right: 20px; white-space: nowrap; }
span.label { color: #9aa4ae; font-size: 11px; padding-right: 5px; }
span.value { color: #ffffff; font-weight: bold; }
td.tile { background-color: #111315; padding: 4px; text-align: center; vertical-align: top; }
td.blank { padding: 0; }
img.thumb { display: block; border: 0; background-color: #000000; }
div.time { font-size: 13px; line-height: 20px; height: 20px; font-weight: bold; color: #f2c14e; text-align: right; overflow: hidden; }
div.none { font-size: 14px; color: #c0c6cc; padding: 24px; text-align: center; }
</style>
      </head>
      <body>
        <xsl:apply-templates select="movie"/>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="movie">
    <table class="sheet" width="{$sheetWidth}" cellspacing="8" cellpadding="0">
      <tr>
        <td class="head" colspan="{$cols}">
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
            <span class="fact"><span class="label">SHOTS</span><span class="value"><xsl:value-of select="$count"/></span></span>
          </div>
        </td>
      </tr>
      <xsl:choose>
        <xsl:when test="entry">
          <xsl:for-each select="entry[position() mod $cols = 1 or $cols = 1]">
            <tr>
              <xsl:apply-templates select=". | following-sibling::entry[position() &lt; $cols]"/>
              <xsl:call-template name="blanks">
                <xsl:with-param name="count" select="$cols - 1 - count(following-sibling::entry[position() &lt; $cols])"/>
              </xsl:call-template>
            </tr>
          </xsl:for-each>
        </xsl:when>
        <xsl:otherwise>
          <tr><td class="tile"><div class="none">No thumbnails</div></td></tr>
        </xsl:otherwise>
      </xsl:choose>
    </table>
  </xsl:template>

  <xsl:template match="entry">
    <xsl:variable name="src"><xsl:call-template name="url"><xsl:with-param name="path" select="file"/></xsl:call-template></xsl:variable>
    <td class="tile" width="{$w}">
      <img class="thumb" src="{$src}" width="{$w}" height="{$h}" alt=""/>
      <div class="time" style="width: {$w}px;">
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
      <td class="blank" width="{$w + 2 * $pad}"></td>
      <xsl:call-template name="blanks">
        <xsl:with-param name="count" select="$count - 1"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <!-- "HH:MM:SS:mmm" as a player shows it: "M:SS", or "H:MM:SS" from one hour on. -->
  <xsl:template name="clock">
    <xsl:param name="text"/>
    <xsl:variable name="hours" select="number(substring($text, 1, 2))"/>
    <xsl:variable name="minutes" select="number(substring($text, 4, 2))"/>
    <xsl:variable name="seconds" select="substring($text, 7, 2)"/>
    <xsl:choose>
      <xsl:when test="$hours &gt; 0">
        <xsl:value-of select="concat($hours, ':', substring($text, 4, 2), ':', $seconds)"/>
      </xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="concat($minutes, ':', $seconds)"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- "H:MM:SS.mmm" without the milliseconds, and without hours when there are none. -->
  <xsl:template name="length">
    <xsl:param name="text"/>
    <xsl:variable name="hours" select="substring-before($text, ':')"/>
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
      <xsl:when test="number($hours) &gt; 0">
        <xsl:value-of select="concat($hours, ':', $clock)"/>
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
