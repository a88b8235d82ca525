<?xml version="1.0" encoding="UTF-8"?>
<!--
  Ombrelo web page: "Film strip".
  A dark, cinema-like page: the video's facts in large type, then every shot
  on a strip of film with its time code. A click shows the shot large, with
  buttons to step through the film (pure CSS, no scripts). The style sheet
  and pictures come from the companion folder filmstrip/.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8" indent="no"/>

  <xsl:variable name="shots" select="count(/movie/entry)"/>

  <xsl:template match="/">
    <xsl:text disable-output-escaping="yes">&lt;!DOCTYPE html&gt;&#10;</xsl:text>
    <html lang="en">
      <head>
        <meta name="viewport" content="width=device-width, initial-scale=1"/>
        <meta name="generator" content="Ombrelo"/>
        <title>
          <xsl:call-template name="stem">
            <xsl:with-param name="name" select="/movie/title"/>
          </xsl:call-template>
          <xsl:text> · film strip</xsl:text>
        </title>
        <link rel="stylesheet" href="filmstrip_files/filmstrip.css"/>
      </head>
      <body>
        <xsl:apply-templates select="movie"/>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="movie">
    <div class="page" id="top">
      <div class="masthead">
        <p class="slate">
          <span class="slate-mark">REEL</span>
          <span class="slate-count"><xsl:value-of select="$shots"/> shots</span>
        </p>
        <h1>
          <xsl:call-template name="stem">
            <xsl:with-param name="name" select="title"/>
          </xsl:call-template>
        </h1>
        <p class="credits">
          <span class="credit"><xsl:value-of select="title"/></span>
          <span class="credit">
            <xsl:call-template name="length">
              <xsl:with-param name="text" select="length"/>
            </xsl:call-template>
          </span>
          <span class="credit"><xsl:value-of select="width"/> × <xsl:value-of select="height"/></span>
          <span class="credit">
            <xsl:call-template name="size">
              <xsl:with-param name="kb" select="size"/>
            </xsl:call-template>
          </span>
        </p>
        <p class="actions">
          <xsl:if test="entry[1]/source != ''">
            <a class="button play" href="{entry[1]/source}">▶ Play</a>
          </xsl:if>
          <xsl:if test="indexphoto != ''">
            <xsl:variable name="photo"><xsl:call-template name="url"><xsl:with-param name="path" select="indexphoto"/></xsl:call-template></xsl:variable>
            <a class="button" href="{$photo}">Index photo</a>
            <xsl:for-each select="indexphoto_part">
              <xsl:variable name="part"><xsl:call-template name="url"><xsl:with-param name="path" select="."/></xsl:call-template></xsl:variable>
              <a class="button" href="{$part}">Part <xsl:value-of select="position() + 1"/></a>
            </xsl:for-each>
          </xsl:if>
          <xsl:if test="ipl != ''">
            <xsl:variable name="list"><xsl:call-template name="url"><xsl:with-param name="path" select="ipl"/></xsl:call-template></xsl:variable>
            <a class="button" href="{$list}">Playlist</a>
          </xsl:if>
        </p>
      </div>

      <xsl:choose>
        <xsl:when test="entry">
          <div class="strip">
            <xsl:apply-templates select="entry" mode="frame"/>
          </div>
        </xsl:when>
        <xsl:otherwise>
          <p class="empty">This reel is empty: no thumbnails were kept.</p>
        </xsl:otherwise>
      </xsl:choose>

      <p class="footer">Indexed with Ombrelo</p>
    </div>

    <xsl:apply-templates select="entry" mode="projector"/>
  </xsl:template>

  <xsl:template match="entry" mode="frame">
    <xsl:variable name="n" select="position()"/>
    <xsl:variable name="src"><xsl:call-template name="url"><xsl:with-param name="path" select="file"/></xsl:call-template></xsl:variable>
    <a class="cell" id="cell-{$n}" href="#shot-{$n}" title="Frame {frame}">
      <span class="picture"><img src="{$src}" alt="Shot {$n}" loading="lazy"/></span>
      <span class="code">
        <span class="code-time"><xsl:value-of select="substring(time, 1, 8)"/></span>
        <span class="code-frame">#<xsl:value-of select="frame"/></span>
      </span>
    </a>
  </xsl:template>

  <xsl:template match="entry" mode="projector">
    <xsl:variable name="n" select="position()"/>
    <xsl:variable name="src"><xsl:call-template name="url"><xsl:with-param name="path" select="file"/></xsl:call-template></xsl:variable>
    <div class="projector" id="shot-{$n}">
      <a class="dark" href="#cell-{$n}" title="Close"></a>
      <div class="screen">
        <img src="{$src}" alt="Shot {$n}" loading="lazy"/>
        <p class="screen-code">
          <span class="code-time"><xsl:value-of select="substring(time, 1, 8)"/></span>
          <span class="screen-detail">frame <xsl:value-of select="frame"/> · shot <xsl:value-of select="$n"/> of <xsl:value-of select="$shots"/></span>
          <a class="screen-open" href="{$src}">open image</a>
        </p>
      </div>
      <xsl:if test="$n &gt; 1">
        <a class="wind back" href="#shot-{$n - 1}" title="Previous shot">‹</a>
      </xsl:if>
      <xsl:if test="$n &lt; $shots">
        <a class="wind on" href="#shot-{$n + 1}" title="Next shot">›</a>
      </xsl:if>
      <a class="eject" href="#cell-{$n}" title="Close">×</a>
    </div>
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
