// The report's page: a canvas map with pan and zoom, the table of the latest
// stations and SVG charts of every weather station. Everything it shows comes
// from the two JSON blocks above; it loads nothing from anywhere.
(function () {
  'use strict';
  var started = performance.now();
  var data = JSON.parse(document.getElementById('report-data').textContent);
  var outline = JSON.parse(document.getElementById('map-outline').textContent);
  var stations = data.stations;
  // By callsign in Maps: a station may be called anything, "__proto__" too.
  var weatherByCall = new Map();
  data.weather.forEach(function (w) { weatherByCall.set(w.c, w); });

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

  var PRIMARY = {
    '!': 'police station', '#': 'digipeater', '$': 'phone', '&': 'HF gateway', '\'': 'small aircraft',
    '*': 'snowmobile', '-': 'house', '/': 'dot', '0': 'circle', ';': 'campground', '<': 'motorcycle',
    '=': 'railroad engine', '>': 'car', '?': 'server', '@': 'hurricane', 'A': 'aid station', 'C': 'canoe',
    'E': 'eyeball', 'F': 'tractor', 'H': 'hotel', 'I': 'TCP/IP', 'K': 'school', 'O': 'balloon', 'P': 'police car',
    'R': 'recreational vehicle', 'S': 'space shuttle', 'U': 'bus', 'W': 'weather service', 'X': 'helicopter',
    'Y': 'yacht', '[': 'jogger', '^': 'large aircraft', '_': 'weather station', '`': 'dish antenna',
    'a': 'ambulance', 'b': 'bicycle', 'c': 'command post', 'd': 'fire station', 'e': 'horse', 'f': 'fire truck',
    'g': 'glider', 'h': 'hospital', 'j': 'jeep', 'k': 'truck', 'l': 'laptop', 'n': 'node', 'o': 'EOC',
    'p': 'rover', 'r': 'repeater', 's': 'power boat', 'u': 'truck (18-wheeler)', 'v': 'van', 'w': 'water station',
    'y': 'house with yagi'
  };
  var ALTERNATE = {
    '#': 'digipeater', '&': 'gateway', '-': 'house (HF)', '>': 'car', 'O': 'rocket', '^': 'aircraft',
    '_': 'weather site', 'a': 'ARES/RACES', 'k': 'SUV', 'n': 'triangle', 's': 'ship', 'u': 'truck', 'v': 'van',
    'W': 'weather service', 'y': 'skywarn'
  };
  function symbolText(symbol) {
    if (!symbol) return '';
    var table = symbol.charAt(0), code = symbol.charAt(symbol.length - 1);
    var name = table === '/' ? PRIMARY[code] : ALTERNATE[code];
    if (table !== '/' && table !== '\\' && name) name += ', overlay ' + table;
    return name ? symbol + ' (' + name + ')' : symbol;
  }

  // ---- header, legend ---------------------------------------------------

  var counts = [0, 0, 0];
  stations.forEach(function (s) { counts[s.k] = (counts[s.k] || 0) + 1; });
  document.getElementById('title').textContent = data.title;
  document.getElementById('summary').textContent =
    stations.length + ' stations from ' + data.rows[0] + ' beacons, ' + data.period + ' (' + data.timeBase + ')';

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
    l.appendChild(document.createTextNode(label));
    legend.appendChild(l);
  }
  KINDS.forEach(function (kind, k) { legendBox(k, kind.name + ' ' + counts[k], kind.colour); });
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

  stations.forEach(function (s) { s.x = worldX(s.lo); s.y = worldY(s.la); });

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

  var tracks = [];
  function addTrack(s) {
    if (!s.tr) return;
    var path = new Path2D();
    var minX = Infinity, minY = Infinity, maxX = -Infinity, maxY = -Infinity;
    for (var i = 0; i < s.tr.length; i += 2) {
      var x = worldX(s.tr[i + 1]), y = worldY(s.tr[i]);
      if (i === 0) path.moveTo(x, y); else path.lineTo(x, y);
      minX = Math.min(minX, x); maxX = Math.max(maxX, x); minY = Math.min(minY, y); maxY = Math.max(maxY, y);
    }
    tracks.push({ station: s, path: path, minX: minX, minY: minY, maxX: maxX, maxY: maxY });
  }
  stations.forEach(addTrack);

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
    if (!stations.length) {
      view = { cx: WORLD / 2, cy: WORLD / 2, scale: Math.max(width / WORLD, height / WORLD) / 1.2 };
      clampView();
      return;
    }
    var minX = Infinity, minY = Infinity, maxX = -Infinity, maxY = -Infinity;
    stations.forEach(function (s) {
      minX = Math.min(minX, s.x); maxX = Math.max(maxX, s.x); minY = Math.min(minY, s.y); maxY = Math.max(maxY, s.y);
    });
    var spanX = Math.max(maxX - minX, 2 / 360 * WORLD), spanY = Math.max(maxY - minY, 2 / 360 * WORLD);
    view.cx = (minX + maxX) / 2;
    view.cy = (minY + maxY) / 2;
    view.scale = Math.min((width - 80) / spanX, (height - 120) / spanY);
    clampView();
  }

  function drawMarker(s, radius, ring) {
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
      if (!shown[s.k] || s === selected) continue;
      var x = screenX(s.x), y = screenY(s.y);
      if (x < -margin || y < -margin || x > width + margin || y > height + margin) continue;
      drawMarker(s, 4.5, 1.5);
      drawn.push(s);
    }
    // Names once they no longer crowd each other.
    if (drawn.length <= 300) {
      context.font = '11px "DejaVu Sans", sans-serif';
      context.fillStyle = '#1d232a';
      context.strokeStyle = 'rgba(255, 255, 255, 0.85)';
      context.lineWidth = 3;
      drawn.forEach(function (s) {
        var x = screenX(s.x) + 7, y = screenY(s.y) + 4;
        context.strokeText(s.c, x, y);
        context.fillText(s.c, x, y);
      });
    }
    if (selected && shown[selected.k]) {
      drawMarker(selected, 8, 3);
      drawn.push(selected);
    }
    mapBox.setAttribute('data-markers', String(drawn.length));
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
    addRow(list, 'Symbol', symbolText(s.s));
    addRow(list, 'Position', positionText(s.la, s.lo));
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

  var byCall = new Map();
  stations.forEach(function (s) { byCall.set(s.c, s); });

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
    if (!s) return;
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

  var latest = stations.slice().sort(function (a, b) { return b.t - a.t || (a.c < b.c ? -1 : 1); });
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
    tr.appendChild(element('td', '', positionText(s.la, s.lo)));
    tr.appendChild(element('td', '', symbolText(s.s)));
    tr.appendChild(element('td', 'number', String(s.n)));
    var fx = s.fx || {};
    tr.appendChild(element('td', '', [fx.cm, fx.st].filter(Boolean).join(' \u2014 ')));
    return tr;
  }

  function fillTable() {
    var words = filter.value.trim().toLowerCase();
    var rows = words ? latest.filter(function (s) {
      var fx = s.fx || {};
      return (s.c + ' ' + symbolText(s.s) + ' ' + (fx.cm || '') + ' ' + (fx.st || '') + ' ' + (s.o || ''))
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
  // gap (null) breaks the line.
  function chart(title, unit, times, series) {
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
        { name: 'dew point', values: w.dew, colour: '#1f6fd1', dash: true }]),
      chart('Pressure', 'hPa', w.t, [{ name: 'pressure', values: w.pres, colour: '#6a3fb0' }]),
      chart('Humidity', '%', w.t, [{ name: 'humidity', values: w.hum, colour: '#1f9d3a' }]),
      chart('Wind', 'm/s', w.t, [
        { name: 'speed', values: w.wind, colour: '#0f7c8c' },
        { name: 'gust', values: w.gust, colour: '#c77700', dash: true }]),
      chart('Rain', 'mm', w.t, [
        { name: 'last hour', values: w.rain1h, colour: '#1f6fd1' },
        { name: '24 hours', values: w.rain24h, colour: '#6a3fb0', dash: true },
        { name: 'since midnight', values: w.rainDay, colour: '#0f7c8c' }])
    ].forEach(function (figure) { if (figure) grid.appendChild(figure); });
    section.appendChild(grid);
    return section;
  }

  function fillCharts() {
    var charts = document.getElementById('charts');
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

  resize();
  fit();
  fillTable();
  fillCharts();
  draw();
  followHash();
  var mapLink = element('span', 'attribution', 'Outline: Natural Earth (public domain)');
  mapBox.appendChild(mapLink);

  // ---- live updates -----------------------------------------------------

  // The bridge's live page (live.js) hands in what changed: stations in the
  // form of data.stations, each replacing the one of its callsign; callsigns
  // gone from the map; with reset, the stations not handed in go.
  window.keldanReport = {
    update: function (change) {
      var wasEmpty = !stations.length;
      var incoming = new Map();
      change.stations.forEach(function (s) { s.x = worldX(s.lo); s.y = worldY(s.la); incoming.set(s.c, s); });
      var gone = new Set(change.gone || []);
      var kept = stations.filter(function (s) {
        return !incoming.has(s.c) && !gone.has(s.c) && !change.reset;
      });
      stations.length = 0;
      Array.prototype.push.apply(stations, kept.concat(Array.from(incoming.values())));
      byCall.clear();
      stations.forEach(function (s) { byCall.set(s.c, s); });
      tracks.length = 0;
      stations.forEach(addTrack);
      counts = [0, 0, 0];
      stations.forEach(function (s) { counts[s.k] = (counts[s.k] || 0) + 1; });
      KINDS.forEach(function (kind, k) {
        var box = document.getElementById('show-' + kind.name.toLowerCase());
        if (box) box.parentNode.lastChild.nodeValue = kind.name + ' ' + counts[k];
      });
      data.rows[0] = change.rows;
      document.getElementById('summary').textContent =
        stations.length + ' stations from ' + change.rows + ' beacons, ' + (change.period || data.period);
      if (selected) select(byCall.get(selected.c) || null);
      latest = stations.slice().sort(function (a, b) { return b.t - a.t || (a.c < b.c ? -1 : 1); });
      fillTable();
      if (wasEmpty && stations.length) fit();
      mapBox.setAttribute('data-stations', String(stations.length));
      redraw();
    },
    has: function (callsign) { return byCall.has(callsign); }
  };

  var elapsed = Math.round(performance.now() - started);
  document.documentElement.setAttribute('data-render-ms', String(elapsed));
  document.getElementById('footer').textContent = 'Made by keldan-report at ' + data.generated + ' (' +
    data.timeBase + ') from ' + data.rows[0] + ' stations rows, ' + data.rows[3] + ' weather rows; drawn in ' +
    elapsed + ' ms.';
})();
