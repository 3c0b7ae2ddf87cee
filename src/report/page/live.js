// The bridge's live page: the report's page above, fed from the bridge
// itself. Once a second it asks for the status (/api/status) and for the
// stations stored since the map's version (/api/map?after=N), and hands them
// to the report's drawing (window.keldanReport.update). Read-only: it only
// ever sends GET.
(function () {
  'use strict';
  var POLL_MS = 1000;
  var mapVersion = 0;

  function element(tag, className, text) {
    var e = document.createElement(tag);
    if (className) e.className = className;
    if (text !== undefined) e.textContent = text;
    return e;
  }

  // The status panel: what the window shows, and the journal's recovery.
  var panel = element('section', 'live-status');
  panel.id = 'live';
  panel.appendChild(element('h2', '', 'The bridge now'));
  var list = element('dl', 'live-fields');
  function field(id, term) {
    list.appendChild(element('dt', '', term));
    var dd = element('dd');
    dd.id = id;
    list.appendChild(dd);
    return dd;
  }
  var linkField = field('live-link', 'Database link');
  var statusField = field('live-status-line', 'Status line');
  var queueField = field('live-queue', 'Queue');
  var latestField = field('live-latest', 'Latest beacon');
  var countsField = field('live-counts', 'Since start');
  var recoveryField = field('live-recovery', 'The journal\u2019s recovery');
  panel.appendChild(list);
  panel.appendChild(element('h3', '', 'Feeds'));
  var feedTable = element('table', 'live-feeds');
  feedTable.id = 'live-feeds';
  panel.appendChild(feedTable);
  var main = document.querySelector('main');
  main.insertBefore(panel, main.firstChild);
  // The charts are the report's: the live page is the map and the status.
  var weather = document.getElementById('weather');
  if (weather) weather.hidden = true;

  var style = element('style');
  style.textContent =
    '#live dl { display: grid; grid-template-columns: max-content 1fr; gap: 2px 14px; margin: 0; }' +
    '#live dt { color: #5b6570; } #live dd { margin: 0; }' +
    '#live-link.up { color: #1f7a32; font-weight: bold; } #live-link.down, #live-link.reopening,' +
    ' #live-link.unknown { color: #b00020; font-weight: bold; }' +
    '#live h3 { font-size: 15px; margin: 12px 0 4px; } #live table { max-width: 760px; }';
  document.head.appendChild(style);

  var LINK_TEXT = {
    up: 'up',
    down: 'down: no connection to the database',
    reopening: 'down: the database takes no rows now; they are kept and the link is being reopened',
    unknown: 'unknown: the bridge does not answer'
  };

  function showLink(link) {
    linkField.className = link;
    linkField.textContent = LINK_TEXT[link] || link;
    document.documentElement.setAttribute('data-link', link);
  }

  function showStatus(s) {
    showLink(s.link);
    statusField.textContent = s.status || '\u2014';
    queueField.textContent = s.queue.waiting + ' of ' + s.queue.capacity + ' waiting' +
      (s.buffer ? ' (' + s.buffer + ')' : '');
    var l = s.latest;
    latestField.textContent = l.callsign ? l.callsign + ', ' + l.latitude + ' ' + l.longitude + ', ' + l.date : '\u2014';
    var c = s.counts;
    countsField.textContent = 'received ' + c.received + ', beacons ' + c.beacons + ', stored ' + c.stored +
      ', failed ' + c.failed + ', refused ' + c.refused + (c.kept ? ', kept ' + c.kept : '');
    recoveryField.textContent = s.recovery || '\u2014';
    feedTable.textContent = '';
    var head = element('tr');
    ['Feed', 'Source', 'State', 'Packets'].forEach(function (t) { head.appendChild(element('th', '', t)); });
    feedTable.appendChild(head);
    s.feeds.forEach(function (f) {
      var tr = element('tr');
      tr.appendChild(element('td', '', f.key));
      tr.appendChild(element('td', '', f.source));
      tr.appendChild(element('td', '', f.state));
      tr.appendChild(element('td', 'number', String(f.packets)));
      feedTable.appendChild(tr);
    });
  }

  function get(url) {
    return fetch(url, { cache: 'no-store' }).then(function (response) {
      if (!response.ok) throw new Error(url + ': ' + response.status);
      return response.json();
    });
  }

  function pollStatus() {
    get('/api/status').then(showStatus, function () { showLink('unknown'); })
      .then(function () { setTimeout(pollStatus, POLL_MS); });
  }

  function pollMap() {
    get('/api/map?after=' + mapVersion).then(function (change) {
      if (change.reset || change.version !== mapVersion) {
        window.keldanReport.update({
          stations: change.data.stations, gone: change.gone, reset: change.reset, rows: change.rows,
          period: 'the last hours, live'
        });
      }
      mapVersion = change.version;
      document.documentElement.setAttribute('data-map-version', String(mapVersion));
    }, function () { /* the status shows that the bridge does not answer */ })
      .then(function () { setTimeout(pollMap, POLL_MS); });
  }

  pollStatus();
  pollMap();
})();
