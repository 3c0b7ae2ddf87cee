// The report's page: a canvas map with pan and zoom, the table of the latest
// stations and SVG charts of every weather station. Everything it shows comes
// from the two JSON blocks above; it loads nothing from anywhere.
(function () {
  'use strict';
  var started = performance.now();
  var outline = JSON.parse(document.getElementById('map-outline').textContent);
  // The report's data; load() takes a new one (a live page's) and draws
  // everything again from it.
  var data, stations, tracks, latest;
  // By callsign in Maps: a station may be called anything, "__proto__" too.
  var weatherByCall = new Map(), byCall = new Map();

  var KINDS = [
    { name: 'Fixed', colour: '#1f6fd1' },
    { name: 'Weather', colour: '#1f9d3a' },
    { name: 'Mobile', colour: '#d6331f' }
  ];
  var TRACK_COLOUR = 'rgba(214, 51, 31, 0.55)';

  // ---- text -------------------------------------------------------------

  function pad(n) { return (n < 10 ? '0' : '') + n; }
  // The stored wall-clock time, never shifted into the browser's own zone.
  function timeText(seconds) {
    var d = new Date(seconds * 1000);
    return d.getUTCFullYear() + '-' + pad(d.getUTCMonth() + 1) + '-' + pad(d.getUTCDate()) + ' ' +
      pad(d.getUTCHours()) + ':' + pad(d.getUTCMinutes()) + ':' + pad(d.getUTCSeconds());
  }
  function shortTime(seconds, withDate) {
    var d = new Date(seconds * 1000);
    var hm = pad(d.getUTCHours()) + ':' + pad(d.getUTCMinutes());
    return withDate ? pad(d.getUTCMonth() + 1) + '-' + pad(d.getUTCDate()) + ' ' + hm : hm;
  }
  function positionText(lat, lon) {
    return Math.abs(lat).toFixed(4) + '\u00b0' + (lat < 0 ? 'S' : 'N') + ' ' +
      Math.abs(lon).toFixed(4) + '\u00b0' + (lon < 0 ? 'W' : 'E');
  }
  function element(tag, className, text) {
    var e = document.createElement(tag);
    if (className) e.className = className;
    if (text !== undefined) e.textContent = text;
    return e;
  }
  function stationLink(callsign, text) {
    var a = element('a', '', text || callsign);
    a.href = '#station=' + encodeURIComponent(callsign);
    return a;
  }

  // The symbol as the station sent it, and what it is ("/> (car)",
  // "I& (igate, overlay I)"); the names come with the data.
  function symbolText(s) {
    if (!s.s) return '';
    var name = s.sn || '';
    if (s.ov) name = (name ? name + ', ' : '') + 'overlay ' + s.ov;
    return name ? s.s + ' (' + name + ')' : s.s;
  }

  // ---- symbols ----------------------------------------------------------

  // Each glyph in a box 20 units wide: f filled white, c cut out of it in
  // the badge's colour, s stroked white. Drawn here, so the page needs no
  // image from anywhere.
  function wheels(a, b) {
    return ' M' + (a - 2) + ' 14a2 2 0 1 0 4 0a2 2 0 1 0 -4 0Z M' + (b - 2) + ' 14a2 2 0 1 0 4 0a2 2 0 1 0 -4 0Z';
  }
  var CAR = 'M2 12.5V10L4 9.5L6.5 6.5H13L15.5 9.5L18 10V12.5Z' + wheels(6.5, 13.5);
  var VAN = 'M2 12.5V6.5Q2 5 3.5 5H13L17.5 9V12.5Z' + wheels(6, 14);
  var TRUCK = 'M1.5 12.5V5H12V12.5Z M12.5 12.5V7.5H16L18.5 10V12.5Z' + wheels(5, 15);
  var GLYPHS = {
    car: { f: CAR },
    police: { f: CAR + ' M9 3.5h2v3h-2Z' },
    jeep: { f: 'M2.5 12.5V8H5V5H14L15 8H18V12.5Z M0.8 8h1.2v4H0.8Z' + wheels(6, 14) },
    van: { f: VAN },
    ambulance: { f: VAN, c: 'M7.2 6.5h1.6v1.6h1.6v1.6h-1.6v1.6H7.2v-1.6H5.6V8.1h1.6Z' },
    truck: { f: TRUCK },
    firetruck: { f: TRUCK, s: 'M1.5 3.2H12 M3.5 2v2.4 M6.5 2v2.4 M9.5 2v2.4' },
    bus: { f: 'M1.5 12.5V5.5Q1.5 4.5 2.5 4.5H17.5Q18.5 4.5 18.5 5.5V12.5Z' + wheels(5, 15),
      c: 'M3 6h3v2.5H3Z M7.5 6h3v2.5h-3Z M12 6h4.5v2.5H12Z' },
    train: { f: 'M3 3.5H13V7.5H17V13H3Z M17 11.5L19 13H17Z' + wheels(6, 14), c: 'M5 5h5v3H5Z' },
    motorcycle: { s: 'M2 13.5a3 3 0 1 0 6 0a3 3 0 1 0 -6 0 M12 13.5a3 3 0 1 0 6 0a3 3 0 1 0 -6 0 ' +
      'M5 13.5L8.5 9.5H12.5L15 13.5 M12 9.5L11 6.5H13.5' },
    bicycle: { s: 'M2 13.5a3 3 0 1 0 6 0a3 3 0 1 0 -6 0 M12 13.5a3 3 0 1 0 6 0a3 3 0 1 0 -6 0 ' +
      'M5 13.5L8 8H13.5L15 13.5 M8 8L10.5 13.5L13.5 8 M7 6.5H9.5 M13.5 8L13 5.5H15' },
    boat: { f: 'M1.5 10H18.5L16 14.5H4Z M6 9.5V6.5H12L14 9.5Z' },
    sailboat: { f: 'M2 13.5H18L16 17H4Z M9.5 2V12.5H3.5Z M10.5 4V12.5H16Z' },
    plane: { f: 'M10 1.5Q11 1.5 11 3V8L18 11.5V13L11 11V15.5L13.5 17V18.5L10 17.5L6.5 18.5V17L9 15.5V11L2 13V11.5' +
      'L9 8V3Q9 1.5 10 1.5Z' },
    helicopter: { f: 'M4 10Q4 7.5 7.5 7.5H11Q14 7.5 14 10Q14 12.5 11 12.5H7Q4 12.5 4 10Z M13.5 9.2H19V10.6H13.5Z',
      s: 'M2 4.5H16 M9 4.5V7.5 M5.5 15H13.5 M8 12.5V15 M11 12.5V15' },
    balloon: { f: 'M10 1.5A6 6 0 0 1 16 7.5C16 10.5 12 13 11 14.5H9C8 13 4 10.5 4 7.5A6 6 0 0 1 10 1.5Z ' +
      'M8.5 16h3v2.5h-3Z', s: 'M9 14.5V16 M11 14.5V16' },
    person: { f: 'M7.7 4.3a2.3 2.3 0 1 0 4.6 0a2.3 2.3 0 1 0 -4.6 0Z',
      s: 'M10 7V12.5 M10 12.5L7 18 M10 12.5L13 18 M5.5 10L10 8L14.5 10' },
    house: { f: 'M10 2.5L18.5 10H16V17.5H4V10H1.5Z', c: 'M8.5 12h3v5.5h-3Z' },
    school: { f: 'M3 9.5L10 5L17 9.5V17.5H3Z M10 1.5h4v2.2H10Z', s: 'M10 5V1.5',
      c: 'M8.7 13h2.6v4.5H8.7Z M4.8 11h2.4v2.2H4.8Z M12.8 11h2.4v2.2h-2.4Z' },
    tower: { s: 'M10 5V18.5 M6.5 18.5L10 5L13.5 18.5 M7.5 14H12.5 M8.5 9.5H11.5 ' +
      'M6.5 2.5Q4.5 5 6.5 7.5 M13.5 2.5Q15.5 5 13.5 7.5 M3.5 1Q0.5 5 3.5 9 M16.5 1Q19.5 5 16.5 9' },
    digi: { f: 'M10 1.5L12.3 7.2L18.5 7.5L13.7 11.3L15.3 17.3L10 14L4.7 17.3L6.3 11.3L1.5 7.5L7.7 7.2Z', inner: true },
    gateway: { f: 'M10 1L19 10L10 19L1 10Z', inner: true },
    weather: { f: 'M5.5 14.5A3.5 3.5 0 0 1 5 7.5A5 5 0 0 1 14.5 6.5A4 4 0 0 1 15 14.5Z',
      s: 'M7 16.5v2 M10 16.5v2 M13 16.5v2' },
    fire: { f: 'M10 1.5C12 5 16 7.5 16 12A6 6 0 0 1 4 12C4 9 6 8 7 6C7.5 8.5 8.5 9 9 9C9 6 9 4 10 1.5Z' },
    cross: { f: 'M8 3h4v5h5v4h-5v5H8v-5H3V8h5Z' },
    dish: { f: 'M3 4A12 12 0 0 0 16 17Z M8 13L6 18.5H11Z', s: 'M9.5 10.5L15 5' },
    tent: { f: 'M10 3L18.5 17H1.5Z', c: 'M10 9L13 17H7Z' },
    dot: { f: 'M6.5 10a3.5 3.5 0 1 0 7 0a3.5 3.5 0 1 0 -7 0Z' }
  };
  var glyphPaths = {};
  function glyphPath(name, part) {
    var key = name + '/' + part;
    if (!glyphPaths[key]) glyphPaths[key] = new Path2D(GLYPHS[name][part]);
    return glyphPaths[key];
  }

  // A station's symbol at x, y: a badge in its kind's colour (square for an
  // object or item), its glyph in white; an overlay character inside a
  // digipeater's star or a gateway's diamond, elsewhere on a dark corner
  // disc; a symbol without a glyph shows its code and table characters.
  function drawSymbol(ctx, s, x, y, radius, ring) {
    var colour = KINDS[s.k] ? KINDS[s.k].colour : '#777';
    ctx.beginPath();
    if (s.o) ctx.rect(x - radius, y - radius, radius * 2, radius * 2);
    else ctx.arc(x, y, radius, 0, 2 * Math.PI);
    ctx.fillStyle = colour;
    ctx.fill();
    ctx.lineWidth = ring;
    ctx.strokeStyle = '#fff';
    ctx.stroke();
    var glyph = GLYPHS[s.g];
    var symbol = s.s || '';
    var table = symbol.charAt(0), code = symbol.charAt(symbol.length - 1);
    var corner = '';
    ctx.textAlign = 'center';
    ctx.textBaseline = 'middle';
    if (glyph) {
      var size = radius * 1.5;
      ctx.save();
      ctx.translate(x - size / 2, y - size / 2);
      ctx.scale(size / 20, size / 20);
      if (glyph.f) { ctx.fillStyle = '#fff'; ctx.fill(glyphPath(s.g, 'f')); }
      if (glyph.c) { ctx.fillStyle = colour; ctx.fill(glyphPath(s.g, 'c')); }
      if (glyph.s) {
        ctx.strokeStyle = '#fff';
        ctx.lineWidth = 1.7;
        ctx.lineCap = 'round';
        ctx.lineJoin = 'round';
        ctx.stroke(glyphPath(s.g, 's'));
      }
      ctx.restore();
      if (s.ov && glyph.inner) {
        ctx.font = 'bold ' + Math.round(radius * 0.9) + 'px "DejaVu Sans", sans-serif';
        ctx.fillStyle = colour;
        ctx.fillText(s.ov, x, y + radius * 0.05);
      } else if (s.ov) {
        corner = s.ov;
      }
    } else {
      ctx.font = 'bold ' + Math.round(radius * 1.1) + 'px "DejaVu Sans", sans-serif';
      ctx.fillStyle = '#fff';
      ctx.fillText(code || '?', x, y + radius * 0.05);
      if (table && table !== '/') corner = table;
    }
    if (corner) {
      var cx = x + radius * 0.75, cy = y + radius * 0.75, r = Math.max(4.5, radius * 0.5);
      ctx.beginPath();
      ctx.arc(cx, cy, r, 0, 2 * Math.PI);
      ctx.fillStyle = '#1d232a';
      ctx.fill();
      ctx.font = 'bold ' + Math.round(r * 1.5) + 'px "DejaVu Sans", sans-serif';
      ctx.fillStyle = '#fff';
      ctx.fillText(corner, cx, cy + 0.5);
    }
    ctx.textAlign = 'start';
    ctx.textBaseline = 'alphabetic';
  }

  // ---- header, legend ---------------------------------------------------

  var legendCounts = [];
  // The title, the summary and, for a period without a beacon, what the
  // tables hold and which period would show it.
  function fillHeader() {
    var counts = [0, 0, 0];
    stations.forEach(function (s) { counts[s.k] = (counts[s.k] || 0) + 1; });
    legendCounts.forEach(function (span, k) { span.textContent = KINDS[k].name + ' ' + counts[k]; });
    document.getElementById('title').textContent = data.title;
    var summary = stations.length + ' stations from ' + data.rows[0] + ' beacons, ' + data.period + ' (' +
      data.timeBase + ')';
    var notice = document.getElementById('empty-period');
    if (notice) notice.remove();
    if (!data.rows[0] && data.allRows !== undefined) {
      notice = element('p', 'notice');
      notice.id = 'empty-period';
      notice.textContent = data.allRows ? 'Nothing was heard ' + data.period + '. The stations table holds ' +
        data.allRows + ' rows, the newest of ' + data.newest + ': make the report again with --since all, or ' +
        '--since ' + String(data.newest).substring(0, 10) + '.' : 'Nothing was heard ' + data.period +
        ': the stations table is empty.';
      document.getElementById('title-box').appendChild(notice);
    }
    document.getElementById('summary').textContent = summary;
  }

  var shown = { 0: true, 1: true, 2: true, tracks: true };
  var legend = document.getElementById('legend');
  var legendStatus = element('span', 'status');
  function legendBox(key, label, colour) {
    var l = element('label');
    var box = element('input');
    box.type = 'checkbox';
    box.checked = true;
    box.id = 'show-' + (typeof key === 'number' ? KINDS[key].name.toLowerCase() : key);
    box.addEventListener('change', function () { shown[key] = box.checked; draw(); });
    l.appendChild(box);
    var swatch = element('span', 'swatch');
    swatch.style.background = colour;
    if (key === 'tracks') swatch.style.borderRadius = '2px';
    l.appendChild(swatch);
    var text = element('span', '', label);
    l.appendChild(text);
    legend.appendChild(l);
    return text;
  }
  KINDS.forEach(function (kind, k) { legendCounts.push(legendBox(k, kind.name, kind.colour)); });
  legendBox('tracks', 'Tracks', TRACK_COLOUR);
  legend.appendChild(legendStatus);

  // ---- the map ----------------------------------------------------------

  // Web Mercator on a world 256 units wide; y grows southwards.
  var WORLD = 256;
  var MAX_LAT = 85.05;
  function worldX(lon) { return (lon + 180) / 360 * WORLD; }
  function worldY(lat) {
    var r = Math.max(-MAX_LAT, Math.min(MAX_LAT, lat)) * Math.PI / 180;
    return (1 - Math.log(Math.tan(Math.PI / 4 + r / 2)) / Math.PI) / 2 * WORLD;
  }

  // A station is placed on the map unless it sent 0 0 (no GPS fix); Fit
  // also leaves out one whose latest position is a jump its track left out.
  function placeStations() {
    stations.forEach(function (s) {
      s.x = worldX(s.lo);
      s.y = worldY(s.la);
      s.onMap = !s.nf;
      s.inFit = !s.nf && !s.j;
    });
  }

  // The outline: rings of hundredths of a degree, each point the difference
  // from the one before (see the README beside the outline's file).
  var land = new Path2D();
  outline.forEach(function (ring) {
    var x = 0, y = 0;
    for (var i = 0; i < ring.length; i += 2) {
      x += ring[i];
      y += ring[i + 1];
      var px = worldX(x / 100), py = worldY(y / 100);
      if (i === 0) land.moveTo(px, py); else land.lineTo(px, py);
    }
    land.closePath();
  });

  // Each track's segments as one path: no line across a jump.
  function buildTracks() {
    var list = [];
    stations.forEach(function (s) {
      if (!s.tr) return;
      var path = new Path2D();
      var minX = Infinity, minY = Infinity, maxX = -Infinity, maxY = -Infinity;
      s.tr.forEach(function (segment) {
        for (var i = 0; i < segment.length; i += 2) {
          var x = worldX(segment[i + 1]), y = worldY(segment[i]);
          if (i === 0) path.moveTo(x, y); else path.lineTo(x, y);
          minX = Math.min(minX, x); maxX = Math.max(maxX, x); minY = Math.min(minY, y); maxY = Math.max(maxY, y);
        }
      });
      list.push({ station: s, path: path, minX: minX, minY: minY, maxX: maxX, maxY: maxY });
    });
    return list;
  }

  var mapBox = document.getElementById('map');
  var canvas = document.getElementById('map-canvas');
  var context = canvas.getContext('2d');
  var popup = document.getElementById('popup');
  var view = { cx: WORLD / 2, cy: WORLD / 2, scale: 1 };
  var width = 0, height = 0, ratio = 1;
  var drawn = [];
  var selected = null;
  var MIN_SCALE = 0.5, MAX_SCALE = 1 << 20;

  function clampView() {
    view.scale = Math.max(MIN_SCALE, Math.min(MAX_SCALE, view.scale));
    view.cx = Math.max(0, Math.min(WORLD, view.cx));
    view.cy = Math.max(0, Math.min(WORLD, view.cy));
  }
  function screenX(x) { return (x - view.cx) * view.scale + width / 2; }
  function screenY(y) { return (y - view.cy) * view.scale + height / 2; }

  function resize() {
    ratio = window.devicePixelRatio || 1;
    width = mapBox.clientWidth;
    height = mapBox.clientHeight;
    canvas.width = Math.round(width * ratio);
    canvas.height = Math.round(height * ratio);
  }

  // Shows every station: their bounding box with a margin, or a region of
  // about two degrees around a single one.
  function fit() {
    var placed = stations.filter(function (s) { return s.inFit; });
    if (!placed.length) {
      view = { cx: WORLD / 2, cy: WORLD / 2, scale: Math.max(width / WORLD, height / WORLD) / 1.2 };
      clampView();
      return;
    }
    var minX = Infinity, minY = Infinity, maxX = -Infinity, maxY = -Infinity;
    placed.forEach(function (s) {
      minX = Math.min(minX, s.x); maxX = Math.max(maxX, s.x); minY = Math.min(minY, s.y); maxY = Math.max(maxY, s.y);
    });
    var spanX = Math.max(maxX - minX, 2 / 360 * WORLD), spanY = Math.max(maxY - minY, 2 / 360 * WORLD);
    view.cx = (minX + maxX) / 2;
    view.cy = (minY + maxY) / 2;
    view.scale = Math.min((width - 80) / spanX, (height - 120) / spanY);
    clampView();
  }

  // The home position (data.home), about 300 km across; Fit without one.
  function startView() {
    var home = data.home;
    if (!home || (home[0] === 0 && home[1] === 0)) {
      fit();
      return;
    }
    view.cx = worldX(home[1]);
    view.cy = worldY(home[0]);
    view.scale = Math.min(width, height) / (3 / 360 * WORLD);
    clampView();
  }

  // What the map shows, in degrees, for whoever reads the page's markup.
  function lonAt(x) { return x / WORLD * 360 - 180; }
  function latAt(y) { return Math.atan(Math.sinh(Math.PI * (1 - 2 * y / WORLD))) * 180 / Math.PI; }

  // A plain dot where too many stations are in view for their symbols.
  function drawDot(s, radius, ring) {
    var x = screenX(s.x), y = screenY(s.y);
    context.beginPath();
    if (s.o) context.rect(x - radius, y - radius, radius * 2, radius * 2); // objects and items
    else context.arc(x, y, radius, 0, 2 * Math.PI);
    context.fillStyle = KINDS[s.k] ? KINDS[s.k].colour : '#777';
    context.fill();
    context.lineWidth = ring;
    context.strokeStyle = '#fff';
    context.stroke();
  }

  function draw() {
    context.setTransform(ratio, 0, 0, ratio, 0, 0);
    context.fillStyle = '#c6dcef';
    context.fillRect(0, 0, width, height);
    // The outline in world units: one transform, one fill, one stroke.
    context.setTransform(ratio * view.scale, 0, 0, ratio * view.scale,
      ratio * (width / 2 - view.cx * view.scale), ratio * (height / 2 - view.cy * view.scale));
    context.fillStyle = '#f3f0e7';
    context.fill(land, 'evenodd');
    context.lineWidth = 0.8 / view.scale;
    context.strokeStyle = '#a19d90';
    context.stroke(land);
    var left = view.cx - width / 2 / view.scale, right = view.cx + width / 2 / view.scale;
    var top = view.cy - height / 2 / view.scale, bottom = view.cy + height / 2 / view.scale;
    if (shown.tracks) {
      context.lineWidth = 2.2 / view.scale;
      context.strokeStyle = TRACK_COLOUR;
      context.lineJoin = 'round';
      tracks.forEach(function (t) {
        if (!shown[t.station.k] || t.maxX < left || t.minX > right || t.maxY < top || t.minY > bottom) return;
        context.stroke(t.path);
      });
    }
    context.setTransform(ratio, 0, 0, ratio, 0, 0);
    drawn = [];
    var margin = 8;
    for (var i = 0; i < stations.length; ++i) {
      var s = stations[i];
      if (!s.onMap || !shown[s.k] || s === selected) continue;
      var x = screenX(s.x), y = screenY(s.y);
      if (x < -margin || y < -margin || x > width + margin || y > height + margin) continue;
      drawn.push(s);
    }
    var symbols = drawn.length <= 1500;
    drawn.forEach(function (s) {
      if (symbols) drawSymbol(context, s, screenX(s.x), screenY(s.y), 9, 1.5);
      else drawDot(s, 4.5, 1.5);
    });
    // Names once they no longer crowd each other.
    if (drawn.length <= 300) {
      context.font = '11px "DejaVu Sans", sans-serif';
      context.fillStyle = '#1d232a';
      context.strokeStyle = 'rgba(255, 255, 255, 0.85)';
      context.lineWidth = 3;
      drawn.forEach(function (s) {
        var x = screenX(s.x) + (symbols ? 12 : 7), y = screenY(s.y) + 4;
        context.strokeText(s.c, x, y);
        context.fillText(s.c, x, y);
      });
    }
    if (selected && selected.onMap && shown[selected.k]) {
      drawSymbol(context, selected, screenX(selected.x), screenY(selected.y), 14, 3);
      drawn.push(selected);
    }
    mapBox.setAttribute('data-markers', String(drawn.length));
    mapBox.setAttribute('data-view-deg', [latAt(bottom), lonAt(left), latAt(top), lonAt(right)].map(function (v) {
      return v.toFixed(3);
    }).join(','));
    legendStatus.textContent = drawn.length + ' in view';
    placePopup();
  }

  var pending = false;
  function redraw() {
    if (pending) return;
    pending = true;
    requestAnimationFrame(function () { pending = false; draw(); });
  }

  function zoomAt(factor, x, y) {
    var wx = view.cx + (x - width / 2) / view.scale, wy = view.cy + (y - height / 2) / view.scale;
    view.scale *= factor;
    clampView();
    view.cx = wx - (x - width / 2) / view.scale;
    view.cy = wy - (y - height / 2) / view.scale;
    clampView();
    redraw();
  }

  // ---- the popup --------------------------------------------------------

  function addRow(list, term, value) {
    if (value === undefined || value === null || value === '') return;
    list.appendChild(element('dt', '', term));
    list.appendChild(element('dd', '', String(value)));
  }

  function fillPopup(s) {
    popup.textContent = '';
    var close = element('button', 'close', '\u00d7');
    close.type = 'button';
    close.title = 'Close';
    close.addEventListener('click', function () { select(null); });
    popup.appendChild(close);
    popup.appendChild(element('h3', '', s.c));
    var list = element('dl');
    addRow(list, 'Kind', (KINDS[s.k] ? KINDS[s.k].name : 'type ' + s.k) + (s.o ? ' object of ' + s.o : ''));
    addRow(list, 'Last heard', timeText(s.t));
    if (s.n > 1) addRow(list, 'Beacons', s.n + ' since ' + timeText(s.f));
    addRow(list, 'Symbol', symbolText(s));
    addRow(list, 'Position', s.nf ? 'none (0\u00b0 0\u00b0)' : positionText(s.la, s.lo) +
      (s.j ? ', a jump its track leaves out' : ''));
    if (s.km > 0) addRow(list, 'Distance', s.km + ' km');
    addRow(list, 'Heard', s.d ? 'direct' + (s.rp > 0 ? ' on port ' + s.rp : '') : 'via digipeaters or the internet');
    // The latest fixed and mobile details; a station heard as both has both.
    var fx = s.fx || {}, mb = s.mb;
    addRow(list, 'Comment', fx.cm);
    addRow(list, 'Status', fx.st);
    if (mb) {
      addRow(list, 'Speed', mb.sp + ' km/h, course ' + mb.co + '\u00b0');
      if (mb.h) addRow(list, 'Height', mb.h + ' m');
    }
    if (s.fx && mb) {
      addRow(list, 'Fixed path', fx.p);
      addRow(list, 'Mobile path', mb.p);
    } else {
      addRow(list, 'Path', mb ? mb.p : fx.p);
    }
    var w = weatherByCall.get(s.c);
    if (w) {
      var last = w.t.length - 1;
      addRow(list, 'Weather', [
        w.temp[last] + ' \u00b0C',
        w.pres[last] !== null ? w.pres[last] + ' hPa' : '',
        w.hum[last] !== null ? w.hum[last] + ' %' : '',
        'wind ' + w.wind[last] + ' m/s'
      ].filter(Boolean).join(', '));
      var link = element('a', '', 'Charts');
      link.href = '#wx-' + encodeURIComponent(s.c);
      list.appendChild(element('dt'));
      var dd = element('dd');
      dd.appendChild(link);
      list.appendChild(dd);
    }
    popup.appendChild(list);
  }

  function placePopup() {
    if (!selected || !shown[selected.k]) {
      popup.hidden = true;
      return;
    }
    popup.hidden = false;
    popup.style.left = screenX(selected.x) + 'px';
    popup.style.top = screenY(selected.y) + 'px';
  }

  function select(s) {
    selected = s;
    if (s) fillPopup(s);
    popup.setAttribute('data-callsign', s ? s.c : '');
    redraw();
  }


  // The hash as text; null for one that is no URI text ("%E0%A4%A").
  function decodedHash(text) {
    try {
      return decodeURIComponent(text);
    } catch (e) {
      return null;
    }
  }

  // "#station=CALL": centres the map on it and opens its popup; the table's
  // callsigns link there.
  function followHash() {
    // The charts are made by this script, after the browser looked for them.
    if (location.hash.indexOf('#wx-') === 0) {
      var id = decodedHash(location.hash.substring(1));
      var target = id === null ? null : document.getElementById(id);
      if (target) target.scrollIntoView();
      return;
    }
    var match = /^#station=(.*)$/.exec(location.hash);
    if (!match) return;
    var s = byCall.get(decodedHash(match[1]));
    if (!s || !s.onMap) return;
    shown[s.k] = true;
    var box = document.getElementById('show-' + KINDS[s.k].name.toLowerCase());
    if (box) box.checked = true;
    view.cx = s.x;
    view.cy = s.y;
    view.scale = Math.max(view.scale, width / (3 / 360 * WORLD));
    clampView();
    select(s);
    draw();
    mapBox.scrollIntoView();
  }

  // ---- pan, zoom, pick --------------------------------------------------

  var pointers = {};
  var gesture = null;
  function pointerList() { return Object.keys(pointers).map(function (k) { return pointers[k]; }); }
  mapBox.addEventListener('pointerdown', function (e) {
    if (e.target !== canvas) return;
    canvas.setPointerCapture(e.pointerId);
    pointers[e.pointerId] = { x: e.offsetX, y: e.offsetY };
    var list = pointerList();
    gesture = { moved: false, cx: view.cx, cy: view.cy, scale: view.scale, points: list.map(function (p) {
      return { x: p.x, y: p.y };
    }) };
  });
  mapBox.addEventListener('pointermove', function (e) {
    if (!gesture || !pointers[e.pointerId]) return;
    pointers[e.pointerId] = { x: e.offsetX, y: e.offsetY };
    var list = pointerList();
    var start = gesture.points;
    if (list.length === 1 && start.length === 1) {
      var dx = list[0].x - start[0].x, dy = list[0].y - start[0].y;
      if (Math.abs(dx) + Math.abs(dy) > 3) gesture.moved = true;
      if (!gesture.moved) return;
      mapBox.classList.add('dragging');
      view.cx = gesture.cx - dx / view.scale;
      view.cy = gesture.cy - dy / view.scale;
      clampView();
      redraw();
    } else if (list.length === 2 && start.length === 2) {
      // Two fingers: the zoom follows their distance.
      var before = Math.hypot(start[0].x - start[1].x, start[0].y - start[1].y);
      var now = Math.hypot(list[0].x - list[1].x, list[0].y - list[1].y);
      if (before > 0) {
        gesture.moved = true;
        var midX = (list[0].x + list[1].x) / 2, midY = (list[0].y + list[1].y) / 2;
        view.cx = gesture.cx; view.cy = gesture.cy; view.scale = gesture.scale;
        zoomAt(now / before, midX, midY);
      }
    }
  });
  function endPointer(e) {
    if (!pointers[e.pointerId]) return;
    delete pointers[e.pointerId];
    mapBox.classList.remove('dragging');
    if (gesture && !gesture.moved && e.type === 'pointerup') pick(e.offsetX, e.offsetY);
    gesture = null;
  }
  mapBox.addEventListener('pointerup', endPointer);
  mapBox.addEventListener('pointercancel', endPointer);

  function pick(x, y) {
    var best = null, bestDistance = 10 * 10;
    drawn.forEach(function (s) {
      var dx = screenX(s.x) - x, dy = screenY(s.y) - y, d = dx * dx + dy * dy;
      if (d <= bestDistance) { best = s; bestDistance = d; }
    });
    select(best);
  }

  mapBox.addEventListener('wheel', function (e) {
    if (e.target !== canvas) return;
    e.preventDefault();
    zoomAt(Math.pow(1.0015, -e.deltaY * (e.deltaMode === 1 ? 30 : 1)), e.offsetX, e.offsetY);
  }, { passive: false });
  mapBox.addEventListener('dblclick', function (e) {
    if (e.target === canvas) zoomAt(2, e.offsetX, e.offsetY);
  });
  mapBox.addEventListener('keydown', function (e) {
    var step = 80 / view.scale;
    if (e.key === '+' || e.key === '=') zoomAt(1.5, width / 2, height / 2);
    else if (e.key === '-') zoomAt(1 / 1.5, width / 2, height / 2);
    else if (e.key === 'ArrowLeft') view.cx -= step;
    else if (e.key === 'ArrowRight') view.cx += step;
    else if (e.key === 'ArrowUp') view.cy -= step;
    else if (e.key === 'ArrowDown') view.cy += step;
    else if (e.key === 'Escape') select(null);
    else return;
    e.preventDefault();
    clampView();
    redraw();
  });
  document.getElementById('zoom-in').addEventListener('click', function () { zoomAt(2, width / 2, height / 2); });
  document.getElementById('zoom-out').addEventListener('click', function () { zoomAt(0.5, width / 2, height / 2); });
  document.getElementById('zoom-fit').addEventListener('click', function () { fit(); redraw(); });
  window.addEventListener('resize', function () { resize(); draw(); });
  window.addEventListener('hashchange', followHash);

  // ---- the table of the latest stations ---------------------------------

  var tableBody = document.querySelector('#station-table tbody');
  var more = document.getElementById('table-more');
  var filter = document.getElementById('filter');
  var TABLE_ROWS = 25;
  var tableLimit = TABLE_ROWS;

  function tableRow(s) {
    var tr = element('tr');
    tr.setAttribute('data-callsign', s.c);
    var call = element('td');
    call.appendChild(stationLink(s.c));
    tr.appendChild(call);
    var kind = element('td');
    kind.appendChild(element('span', 'kind kind-' + s.k));
    kind.appendChild(document.createTextNode(KINDS[s.k] ? KINDS[s.k].name : String(s.k)));
    tr.appendChild(kind);
    tr.appendChild(element('td', '', timeText(s.t)));
    tr.appendChild(element('td', '', s.nf ? 'no position (0\u00b0 0\u00b0)' : positionText(s.la, s.lo)));
    tr.appendChild(element('td', '', symbolText(s)));
    tr.appendChild(element('td', 'number', String(s.n)));
    var fx = s.fx || {};
    tr.appendChild(element('td', '', [fx.cm, fx.st].filter(Boolean).join(' \u2014 ')));
    return tr;
  }

  function fillTable() {
    var words = filter.value.trim().toLowerCase();
    var rows = words ? latest.filter(function (s) {
      var fx = s.fx || {};
      return (s.c + ' ' + symbolText(s) + ' ' + (fx.cm || '') + ' ' + (fx.st || '') + ' ' + (s.o || ''))
        .toLowerCase().indexOf(words) >= 0;
    }) : latest;
    var fragment = document.createDocumentFragment();
    rows.slice(0, tableLimit).forEach(function (s) { fragment.appendChild(tableRow(s)); });
    tableBody.textContent = '';
    tableBody.appendChild(fragment);
    more.textContent = '';
    if (rows.length > tableLimit) {
      var button = element('button', '', 'Show all ' + rows.length);
      button.type = 'button';
      button.addEventListener('click', function () { tableLimit = Infinity; fillTable(); });
      more.appendChild(document.createTextNode(tableLimit + ' of ' + rows.length + ' shown. '));
      more.appendChild(button);
    } else if (!rows.length) {
      more.appendChild(element('span', 'empty', 'No station.'));
    }
  }
  filter.addEventListener('input', function () { tableLimit = TABLE_ROWS; fillTable(); });

  // ---- weather charts ---------------------------------------------------

  var SVG = 'http://www.w3.org/2000/svg';
  function svgElement(tag, attributes) {
    var e = document.createElementNS(SVG, tag);
    Object.keys(attributes || {}).forEach(function (k) { e.setAttribute(k, attributes[k]); });
    return e;
  }
  // About four round steps between low and high.
  function niceStep(span) {
    var raw = span / 4, power = Math.pow(10, Math.floor(Math.log10(raw))), unit = raw / power;
    return (unit < 1.5 ? 1 : unit < 3.5 ? 2 : unit < 7.5 ? 5 : 10) * power;
  }
  var CHART_W = 560, CHART_H = 170, PAD_L = 44, PAD_R = 10, PAD_T = 8, PAD_B = 22;

  // One chart: the time axis of its station, one polyline per series; a
  // reading missing (null) breaks the line, and so does a time without
  // readings (gaps: the indices of the readings after one).
  function chart(title, unit, times, series, gaps) {
    var breaks = new Set(gaps || []);
    var count = 0, low = Infinity, high = -Infinity;
    series.forEach(function (s) {
      s.values.forEach(function (v) {
        if (v === null) return;
        ++count;
        if (v < low) low = v;
        if (v > high) high = v;
      });
    });
    if (!count) return null;
    if (high - low < 1e-9) { low -= 1; high += 1; }
    var step = niceStep(high - low);
    low = Math.floor(low / step) * step;
    high = Math.ceil(high / step) * step;
    var t0 = times[0], t1 = times[times.length - 1];
    if (t1 - t0 < 60) { t0 -= 1800; t1 += 1800; }
    var plotW = CHART_W - PAD_L - PAD_R, plotH = CHART_H - PAD_T - PAD_B;
    function px(t) { return PAD_L + (t - t0) / (t1 - t0) * plotW; }
    function py(v) { return PAD_T + (high - v) / (high - low) * plotH; }

    var figure = element('figure', 'chart');
    var caption = element('figcaption', '', title + ' (' + unit + ')');
    series.forEach(function (s) {
      if (series.length < 2) return;
      var key = element('span', 'key', '\u2014 ' + s.name);
      key.style.color = s.colour;
      caption.appendChild(key);
    });
    figure.appendChild(caption);
    var svg = svgElement('svg', { 'class': 'chart', viewBox: '0 0 ' + CHART_W + ' ' + CHART_H, role: 'img' });
    svg.appendChild(svgElement('title')).textContent = title;
    for (var v = low; v <= high + step / 2; v += step) {
      var y = py(v).toFixed(1);
      svg.appendChild(svgElement('line', { 'class': 'grid-line', x1: PAD_L, x2: CHART_W - PAD_R, y1: y, y2: y }));
      var label = svgElement('text', { x: PAD_L - 4, y: Number(y) + 3, 'text-anchor': 'end' });
      label.textContent = Math.abs(step) >= 1 ? String(Math.round(v)) : v.toFixed(1);
      svg.appendChild(label);
    }
    var withDate = t1 - t0 > 86400;
    for (var i = 0; i <= 4; ++i) {
      var t = t0 + (t1 - t0) * i / 4;
      var tick = svgElement('text', { x: px(t).toFixed(1), y: CHART_H - 6,
        'text-anchor': i === 0 ? 'start' : i === 4 ? 'end' : 'middle' });
      tick.textContent = shortTime(t, withDate);
      svg.appendChild(tick);
    }
    series.forEach(function (s) {
      var runs = [[]];
      s.values.forEach(function (v, k) {
        if (breaks.has(k) && runs[runs.length - 1].length) runs.push([]);
        if (v === null) { if (runs[runs.length - 1].length) runs.push([]); return; }
        runs[runs.length - 1].push(px(times[k]).toFixed(1) + ',' + py(v).toFixed(1));
      });
      runs.forEach(function (run) {
        if (!run.length) return;
        if (run.length === 1) run.push(run[0]); // a lone sample still shows as a dot
        var line = svgElement('polyline', { points: run.join(' '), stroke: s.colour, 'data-series': s.name });
        if (s.dash) line.setAttribute('stroke-dasharray', '4 3');
        line.setAttribute('stroke-linecap', 'round');
        svg.appendChild(line);
      });
    });
    figure.appendChild(svg);
    figure.setAttribute('data-samples', String(count));
    return figure;
  }

  function weatherSection(w) {
    var section = element('div', 'station');
    section.id = 'wx-' + w.c;
    var heading = element('h3');
    heading.appendChild(document.createTextNode(w.c + ' '));
    if (byCall.has(w.c)) heading.appendChild(stationLink(w.c, '(map)'));
    section.appendChild(heading);
    section.appendChild(element('p', 'empty', w.t.length + ' readings, ' + timeText(w.t[0]) + ' to ' +
      timeText(w.t[w.t.length - 1])));
    var grid = element('div', 'grid');
    [
      chart('Temperature', '\u00b0C', w.t, [
        { name: 'temperature', values: w.temp, colour: '#d6331f' },
        { name: 'dew point', values: w.dew, colour: '#1f6fd1', dash: true }], w.gap),
      chart('Pressure', 'hPa', w.t, [{ name: 'pressure', values: w.pres, colour: '#6a3fb0' }], w.gap),
      chart('Humidity', '%', w.t, [{ name: 'humidity', values: w.hum, colour: '#1f9d3a' }], w.gap),
      chart('Wind', 'm/s', w.t, [
        { name: 'speed', values: w.wind, colour: '#0f7c8c' },
        { name: 'gust', values: w.gust, colour: '#c77700', dash: true }], w.gap),
      chart('Rain', 'mm', w.t, [
        { name: 'last hour', values: w.rain1h, colour: '#1f6fd1' },
        { name: '24 hours', values: w.rain24h, colour: '#6a3fb0', dash: true },
        { name: 'since midnight', values: w.rainDay, colour: '#0f7c8c' }], w.gap)
    ].forEach(function (figure) { if (figure) grid.appendChild(figure); });
    section.appendChild(grid);
    return section;
  }

  function fillCharts() {
    var charts = document.getElementById('charts');
    charts.textContent = '';
    if (!data.weather.length) {
      charts.appendChild(element('p', 'empty', 'No weather station was heard in this period.'));
      return;
    }
    // Beyond a few dozen stations, each is drawn when it scrolls into view.
    var lazy = data.weather.length > 40 && 'IntersectionObserver' in window;
    var observer = lazy ? new IntersectionObserver(function (entries) {
      entries.forEach(function (entry) {
        if (!entry.isIntersecting) return;
        observer.unobserve(entry.target);
        entry.target.replaceWith(weatherSection(entry.target.weather));
      });
    }, { rootMargin: '600px' }) : null;
    data.weather.forEach(function (w) {
      if (!lazy) { charts.appendChild(weatherSection(w)); return; }
      var placeholder = element('div', 'station');
      placeholder.id = 'wx-' + w.c;
      placeholder.style.minHeight = '420px';
      placeholder.appendChild(element('h3', '', w.c));
      placeholder.weather = w;
      charts.appendChild(placeholder);
      observer.observe(placeholder);
    });
  }

  // ---- start ------------------------------------------------------------

  // Takes the report's data and draws the map, the table and the charts
  // from it; the map keeps its view unless keepView is false.
  function load(newData, keepView) {
    data = newData;
    stations = data.stations;
    weatherByCall = new Map();
    data.weather.forEach(function (w) { weatherByCall.set(w.c, w); });
    byCall = new Map();
    stations.forEach(function (s) { byCall.set(s.c, s); });
    latest = stations.slice().sort(function (a, b) { return b.t - a.t || (a.c < b.c ? -1 : 1); });
    if (selected) selected = byCall.get(selected.c) || null;
    placeStations();
    tracks = buildTracks();
    fillHeader();
    if (!keepView) startView();
    fillTable();
    fillCharts();
    draw();
  }

  resize();
  load(JSON.parse(document.getElementById('report-data').textContent), false);
  followHash();
  window.keldanReport = { load: load, draw: draw, drawSymbol: drawSymbol };
  var mapLink = element('span', 'attribution', 'Outline: Natural Earth (public domain)');
  mapBox.appendChild(mapLink);

  // ---- live updates -----------------------------------------------------

  // The bridge's live page (live.js) hands in what changed: stations in the
  // form of data.stations, each replacing the one of its callsign; callsigns
  // gone from the map; with reset, the stations not handed in go.
  window.keldanReport.update = function (change) {
    var wasEmpty = !stations.length;
    var incoming = new Map();
    change.stations.forEach(function (s) { incoming.set(s.c, s); });
    var gone = new Set(change.gone || []);
    var merged = change.reset ? [] : stations.filter(function (s) { return !incoming.has(s.c) && !gone.has(s.c); });
    merged = merged.concat(Array.from(incoming.values()));
    var next = Object.assign({}, data, { stations: merged, period: change.period || data.period });
    next.rows = data.rows.slice();
    next.rows[0] = change.rows;
    // The view stays where the user put it, but the first stations are shown.
    load(next, !(wasEmpty && merged.length));
    mapBox.setAttribute('data-stations', String(stations.length));
  };
  window.keldanReport.has = function (callsign) { return byCall.has(callsign); };

  var elapsed = Math.round(performance.now() - started);
  document.documentElement.setAttribute('data-render-ms', String(elapsed));
  document.getElementById('footer').textContent = 'Made by keldan-report at ' + data.generated + ' (' +
    data.timeBase + ') from ' + data.rows[0] + ' stations rows, ' + data.rows[3] + ' weather rows; drawn in ' +
    elapsed + ' ms.';
})();
