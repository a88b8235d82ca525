<?xml version="1.0" encoding="UTF-8"?>
<!--
  Ombrelo index photo: "Cinema".
  A dark sheet with four shots to a row: a title band with the video's
  length, file size and frame size, then the shots with their time codes
  in amber. Tables and pixel sizes only, for any HTML renderer.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8" indent="no"/>

  <xsl:variable name="perRow" select="4"/>
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
  <!-- Each cell: 4 px padding on both sides, 6 px between cells, 16 px margin. -->
  <xsl:variable name="sheetWidth">
    <xsl:choose>
      <xsl:when test="count(/movie/entry) = 0">480</xsl:when>
      <xsl:otherwise><xsl:value-of select="$perRow * ($w + 8) + ($perRow + 1) * 6 + 20"/></xsl:otherwise>
    </xsl:choose>
  </xsl:variable>

  <xsl:template match="/">
    <xsl:text disable-output-escaping="yes">&lt;!DOCTYPE html&gt;&#10;</xsl:text>
    <html>
      <head>
        <title><xsl:value-of select="/movie/title"/></title>
        <style type="text/css">
body { margin: 0; padding: 0; background-color: #111317; font-family: sans-serif; color: #e8e6e1; }
div.sheet { background-color: #111317; padding: 16px 10px 14px 10px; }
div.band { border-bottom: 2px solid #f2b33d; padding: 0 6px 12px 6px; margin-bottom: 8px; }
div.title { font-size: 24px; line-height: 30px; font-weight: bold; color: #ffffff; }
div.facts { font-size: 13px; line-height: 20px; color: #a7a39b; padding-top: 4px; }
span.fact { display: inline-block; padding-right: 20px; white-space: nowrap; }
span.value { color: #f2b33d; font-weight: bold; }
table.shots { border-collapse: separate; border-spacing: 6px; }
td.shot { background-color: #050506; padding: 4px 4px 4px 4px; vertical-align: top; }
img.thumb { display: block; border: 0; background-color: #1a1c21; }
div.code { font-family: monospace; font-size: 13px; line-height: 18px; padding-top: 4px; color: #f2b33d; font-weight: bold; }
span.frame { float: right; color: #6f6c66; font-weight: normal; }
div.none { font-size: 14px; color: #a7a39b; padding: 24px; text-align: center; }
</style>
      </head>
      <body>
        <xsl:apply-templates select="movie"/>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="movie">
    <div class="sheet" style="width: {$sheetWidth - 20}px;">
      <div class="band">
        <div class="title">
          <xsl:call-template name="stem">
            <xsl:with-param name="name" select="title"/>
          </xsl:call-template>
        </div>
        <div class="facts">
          <span class="fact">Length <span class="value">
            <xsl:call-template name="length">
              <xsl:with-param name="text" select="length"/>
            </xsl:call-template>
          </span></span>
          <span class="fact">Size <span class="value">
            <xsl:call-template name="size">
              <xsl:with-param name="kb" select="size"/>
            </xsl:call-template>
          </span></span>
          <span class="fact">Frame <span class="value"><xsl:value-of select="width"/> × <xsl:value-of select="height"/></span></span>
          <span class="fact">Shots <span class="value"><xsl:value-of select="count(entry)"/></span></span>
        </div>
      </div>
      <xsl:choose>
        <xsl:when test="entry">
          <table class="shots" cellspacing="6" cellpadding="0">
            <xsl:for-each select="entry[position() mod $perRow = 1]">
              <tr>
                <xsl:apply-templates select=". | following-sibling::entry[position() &lt; $perRow]"/>
              </tr>
            </xsl:for-each>
          </table>
        </xsl:when>
        <xsl:otherwise>
          <div class="none">No thumbnails</div>
        </xsl:otherwise>
      </xsl:choose>
    </div>
  </xsl:template>

  <xsl:template match="entry">
    <xsl:variable name="src"><xsl:call-template name="url"><xsl:with-param name="path" select="file"/></xsl:call-template></xsl:variable>
    <td class="shot" width="{$w}">
      <img class="thumb" src="{$src}" width="{$w}" height="{$h}" alt=""/>
      <div class="code" style="width: {$w}px;">
        <span class="frame">#<xsl:value-of select="frame"/></span>
        <xsl:value-of select="substring(time, 1, 8)"/>
      </div>
    </td>
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
