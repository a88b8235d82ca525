<?xml version="1.0" encoding="UTF-8"?>
<!--
  Ombrelo web page: "Gallery".
  A light page with the video's facts on top and its thumbnails in a grid.
  Clicking a thumbnail opens it large, with buttons to step through the
  shots (pure CSS, no scripts). The style sheet and icons come from the
  companion folder gallery/ that is copied next to the page.
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
          <xsl:text> · Ombrelo gallery</xsl:text>
        </title>
        <link rel="stylesheet" href="gallery_files/gallery.css"/>
      </head>
      <body>
        <xsl:apply-templates select="movie"/>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="movie">
    <div class="page" id="gallery">
      <div class="hero">
        <div class="hero-text">
          <p class="kicker">Video index</p>
          <h1>
            <xsl:call-template name="stem">
              <xsl:with-param name="name" select="title"/>
            </xsl:call-template>
          </h1>
          <p class="filename"><xsl:value-of select="title"/></p>
          <div class="facts">
            <span class="fact">
              <span class="fact-label">Length</span>
              <span class="fact-value">
                <xsl:call-template name="length">
                  <xsl:with-param name="text" select="length"/>
                </xsl:call-template>
              </span>
            </span>
            <span class="fact">
              <span class="fact-label">Frame size</span>
              <span class="fact-value"><xsl:value-of select="width"/> × <xsl:value-of select="height"/></span>
            </span>
            <span class="fact">
              <span class="fact-label">File size</span>
              <span class="fact-value">
                <xsl:call-template name="size">
                  <xsl:with-param name="kb" select="size"/>
                </xsl:call-template>
              </span>
            </span>
            <span class="fact">
              <span class="fact-label">Shots</span>
              <span class="fact-value"><xsl:value-of select="$shots"/></span>
            </span>
          </div>
          <div class="actions">
            <xsl:if test="entry[1]/source != ''">
              <a class="button primary" href="{entry[1]/source}">
                <img class="icon" src="gallery_files/play.svg" alt=""/>Play video</a>
            </xsl:if>
            <xsl:if test="indexphoto != ''">
              <xsl:variable name="photo"><xsl:call-template name="url"><xsl:with-param name="path" select="indexphoto"/></xsl:call-template></xsl:variable>
              <a class="button" href="{$photo}">
                <img class="icon" src="gallery_files/sheet.svg" alt=""/>Index photo</a>
              <xsl:for-each select="indexphoto_part">
                <xsl:variable name="part"><xsl:call-template name="url"><xsl:with-param name="path" select="."/></xsl:call-template></xsl:variable>
                <a class="button" href="{$part}">Part <xsl:value-of select="position() + 1"/></a>
              </xsl:for-each>
            </xsl:if>
            <xsl:if test="ipl != ''">
              <xsl:variable name="list"><xsl:call-template name="url"><xsl:with-param name="path" select="ipl"/></xsl:call-template></xsl:variable>
              <a class="button" href="{$list}">
                <img class="icon" src="gallery_files/list.svg" alt=""/>Playlist</a>
            </xsl:if>
          </div>
        </div>
        <xsl:if test="entry">
          <xsl:variable name="first"><xsl:call-template name="url"><xsl:with-param name="path" select="entry[1]/file"/></xsl:call-template></xsl:variable>
          <a class="hero-shot" href="#shot-1">
            <img src="{$first}" alt="First shot"/>
          </a>
        </xsl:if>
      </div>

      <xsl:choose>
        <xsl:when test="entry">
          <div class="grid">
            <xsl:apply-templates select="entry" mode="card"/>
          </div>
        </xsl:when>
        <xsl:otherwise>
          <p class="empty">No thumbnails were kept for this video.</p>
        </xsl:otherwise>
      </xsl:choose>

      <p class="footer">Made with Ombrelo · click a shot to see it large</p>
    </div>

    <xsl:apply-templates select="entry" mode="lightbox"/>
  </xsl:template>

  <xsl:template match="entry" mode="card">
    <xsl:variable name="n" select="position()"/>
    <xsl:variable name="src"><xsl:call-template name="url"><xsl:with-param name="path" select="file"/></xsl:call-template></xsl:variable>
    <a class="card" id="card-{$n}" href="#shot-{$n}" title="Frame {frame}">
      <span class="frame">
        <img src="{$src}" alt="Shot {$n}" loading="lazy"/>
        <span class="time">
          <xsl:call-template name="clock">
            <xsl:with-param name="text" select="time"/>
          </xsl:call-template>
        </span>
      </span>
      <span class="caption">
        <span class="caption-number">#<xsl:value-of select="$n"/></span>
        <span class="caption-frame">frame <xsl:value-of select="frame"/></span>
      </span>
    </a>
  </xsl:template>

  <xsl:template match="entry" mode="lightbox">
    <xsl:variable name="n" select="position()"/>
    <xsl:variable name="src"><xsl:call-template name="url"><xsl:with-param name="path" select="file"/></xsl:call-template></xsl:variable>
    <div class="lightbox" id="shot-{$n}">
      <a class="backdrop" href="#card-{$n}" title="Close"></a>
      <div class="viewer">
        <img src="{$src}" alt="Shot {$n}" loading="lazy"/>
        <div class="viewer-bar">
          <span class="viewer-time">
            <xsl:call-template name="clock">
              <xsl:with-param name="text" select="time"/>
            </xsl:call-template>
          </span>
          <span class="viewer-detail">frame <xsl:value-of select="frame"/></span>
          <span class="viewer-count"><xsl:value-of select="$n"/> / <xsl:value-of select="$shots"/></span>
          <a class="viewer-open" href="{$src}">Open image</a>
        </div>
      </div>
      <xsl:if test="$n &gt; 1">
        <a class="step prev" href="#shot-{$n - 1}" title="Previous shot">‹</a>
      </xsl:if>
      <xsl:if test="$n &lt; $shots">
        <a class="step next" href="#shot-{$n + 1}" title="Next shot">›</a>
      </xsl:if>
      <a class="close" href="#card-{$n}" title="Close">×</a>
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
