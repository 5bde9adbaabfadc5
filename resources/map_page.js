// The map page's script (501.js, beside 501.html): see the page for what it draws. Strings
// from the viewer (a mark's text comes from the card) are set as textContent, never as HTML.
var map = null;
var markers = [];
var currentMarker = null;

function initialize() {
  try {
    var centre = L.latLng(37.5660483, 126.9779299);
    map = L.map('map-canvas').setView(centre, 16);
    // No tile server (the viewer refused its address): the route on a blank map.
    if (window.roadkeepTileUrl) {
      L.tileLayer(window.roadkeepTileUrl, {
        maxZoom: 19,
        attribution: '&copy; <a href="https://www.openstreetmap.org/copyright">OpenStreetMap</a> contributors'
      }).addTo(map);
    }
    currentMarker = L.marker(centre).addTo(map);
    // The view starts hidden at zero size and moves between panes: whenever its size
    // changes, the car goes back to the middle.
    map.on('resize', function () {
      try {
        map.setView((carMarker || currentMarker).getLatLng(), map.getZoom(), {animate: false});
      } catch (e) {
      }
    });
  } catch (e) {
  }
}

// Moves the car's marker to latitude x, longitude y (strings or numbers) and pans there.
function DrawCurrent(x, y) {
  try {
    var position = L.latLng(parseFloat(x), parseFloat(y));
    currentMarker.setLatLng(position);
    map.panTo(position, {animate: false});  // an animated pan repaints for a quarter second
  } catch (e) {
  }
}

function addMarker(location) {
  try {
    markers.push(L.marker(location).addTo(map));
  } catch (e) {
  }
}

// Puts every extra marker on the given map, or takes them all off it.
function setAllMap(onMap) {
  try {
    for (var i = 0; i < markers.length; i++) {
      if (onMap) {
        markers[i].addTo(onMap);
      } else {
        markers[i].remove();
      }
    }
  } catch (e) {
  }
}

function clearMarkers() {
  try {
    setAllMap(null);
  } catch (e) {
  }
}

function showMarkers() {
  try {
    setAllMap(map);
  } catch (e) {
  }
}

function deleteMarkers() {
  try {
    clearMarkers();
    markers = [];
  } catch (e) {
  }
}

// The played route: runs of [lat, lon, ms, speed, course] and marks, from SetRoute.
var route = null;
var routeLayer = null;
var legend = null;
var followButton = null;
var carMarker = null;
var following = true;
var clock = {ms: 0, rate: 1, playing: false, at: 0};
var animating = false;
var kTopSpeed = 120;  // km/h at the red end of the scale

function SpeedColour(kmh) {
  if (!(kmh >= 0)) return '#888888';
  var stops = [[0, 44, 123, 182], [40, 26, 152, 80], [80, 254, 224, 65], [120, 215, 25, 28]];
  var v = Math.min(kmh, kTopSpeed);
  for (var i = 1; i < stops.length; i++) {
    if (v <= stops[i][0]) {
      var a = stops[i - 1], b = stops[i], t = (v - a[0]) / (b[0] - a[0]);
      var c = [1, 2, 3].map(function (k) { return Math.round(a[k] + (b[k] - a[k]) * t); });
      return 'rgb(' + c.join(',') + ')';
    }
  }
  return 'rgb(215,25,28)';
}

// Built as elements: the policy refuses style attributes in markup, not styles set by script.
function CarIcon(heading) {
  var ns = 'http://www.w3.org/2000/svg';
  function Svg(name, attributes) {
    var element = document.createElementNS(ns, name);
    Object.keys(attributes).forEach(function (k) { element.setAttribute(k, attributes[k]); });
    return element;
  }
  var svg = Svg('svg', {'class': 'car-arrow', viewBox: '0 0 22 22'});
  svg.style.transform = 'rotate(' + heading + 'deg)';
  svg.appendChild(Svg('circle', {cx: 11, cy: 11, r: 10, fill: 'rgb(247,88,46)', stroke: '#fff',
                                 'stroke-width': 2}));
  svg.appendChild(Svg('path', {d: 'M11 3 L16 15 L11 12 L6 15 Z', fill: '#fff'}));
  return L.divIcon({className: '', iconSize: [22, 22], iconAnchor: [11, 11], html: svg});
}

// A mark's tooltip: its text (from the card) as a text node, whatever characters it holds.
function TextNode(text) {
  var span = document.createElement('span');
  span.textContent = String(text);
  return span;
}

// The point of the route nearest to a place: its played time.
function NearestMs(latlng) {
  var best = null, bestDistance = Infinity;
  var scale = Math.cos(latlng.lat * Math.PI / 180);
  route.runs.forEach(function (run) {
    run.forEach(function (p) {
      var dy = p[0] - latlng.lat, dx = (p[1] - latlng.lng) * scale;
      var d = dx * dx + dy * dy;
      if (d < bestDistance) {
        bestDistance = d;
        best = p[2];
      }
    });
  });
  return best;
}

function SeekTo(latlng) {
  var ms = NearestMs(latlng);
  if (ms !== null) console.info('roadkeep:seek:' + ms);
}

function AddControls() {
  if (legend) return;
  legend = L.control({position: 'bottomleft'});
  legend.onAdd = function () {
    var div = L.DomUtil.create('div', 'speed-legend');
    div.innerHTML = '<div>km/h</div><div class="bar"></div><div class="scale"><span>0</span>' +
                    '<span>40</span><span>80</span><span>' + kTopSpeed + '+</span></div>';
    return div;
  };
  followButton = L.control({position: 'topright'});
  followButton.onAdd = function () {
    var div = L.DomUtil.create('div', 'follow-car');
    div.title = 'Follow the car';
    div.innerHTML = '&#8982;';
    L.DomEvent.on(div, 'click', function (e) {
      L.DomEvent.stop(e);
      following = true;
      div.style.display = 'none';
      PlaceCar();
    });
    div.style.display = 'none';
    return div;
  };
  legend.addTo(map);
  followButton.addTo(map);
  // A pan by the user stops the map following the car until the button is pressed.
  map.on('dragstart', function () {
    following = false;
    followButton.getContainer().style.display = '';
  });
}

function SetRoute(json) {
  try {
    ClearRoute();
    route = JSON.parse(json);
    routeLayer = L.layerGroup().addTo(map);
    var renderer = L.canvas({padding: 0.5, tolerance: 8});
    var bounds = null;
    route.runs.forEach(function (run) {
      // Hops of one colour make one line.
      var line = [], colour = null;
      for (var i = 1; i < run.length; i++) {
        var a = run[i - 1], b = run[i];
        var c = SpeedColour(a[3] >= 0 && b[3] >= 0 ? (a[3] + b[3]) / 2 : Math.max(a[3], b[3]));
        if (c !== colour && line.length) {
          L.polyline(line, {color: colour, weight: 5, renderer: renderer}).addTo(routeLayer);
          line = [[a[0], a[1]]];
        }
        if (!line.length) line.push([a[0], a[1]]);
        line.push([b[0], b[1]]);
        colour = c;
      }
      if (line.length > 1) L.polyline(line, {color: colour, weight: 5, renderer: renderer}).addTo(routeLayer);
      run.forEach(function (p) {
        bounds = bounds ? bounds.extend([p[0], p[1]]) : L.latLngBounds([p[0], p[1]], [p[0], p[1]]);
      });
    });
    // A click near the route seeks there; the lines are thin, so the whole layer listens.
    routeLayer.eachLayer(function (l) { l.on('click', function (e) { SeekTo(e.latlng); }); });
    route.marks.forEach(function (m) {
      var ms = Number(m.ms);
      L.circleMarker([Number(m.lat), Number(m.lon)], {
        radius: m.impact ? 8 : 6, color: '#fff', weight: 2,
        fillColor: m.impact ? 'rgb(247,88,46)' : 'rgb(255,200,0)', fillOpacity: 1,
        renderer: renderer
      }).bindTooltip(TextNode(m.text))
        .on('click', function () { console.info('roadkeep:seek:' + ms); })
        .addTo(routeLayer);
    });
    if (!route.runs.length) return;
    AddControls();
    legend.getContainer().style.display = '';
    following = true;
    followButton.getContainer().style.display = 'none';
    if (bounds) map.fitBounds(bounds, {animate: false, maxZoom: 17, padding: [20, 20]});
    PlaceCar();
  } catch (e) {
  }
}

function ClearRoute() {
  try {
    if (routeLayer) routeLayer.remove();
    if (carMarker) carMarker.remove();
    routeLayer = null;
    carMarker = null;
    route = null;
    if (legend) legend.getContainer().style.display = 'none';
    if (followButton) followButton.getContainer().style.display = 'none';
    currentMarker.addTo(map);
  } catch (e) {
  }
}

// The car at played time ms: on the line between the fixes around it within a run, heading
// by the course where the fix has one. Null where no run covers ms.
function CarAt(ms) {
  for (var r = 0; r < route.runs.length; r++) {
    var run = route.runs[r];
    if (ms < run[0][2] || ms > run[run.length - 1][2] + 3000) continue;
    for (var i = 0; i < run.length; i++) {
      var a = run[i], b = run[i + 1];
      if (b && ms >= b[2]) continue;
      if (!b) return {lat: a[0], lon: a[1], heading: a[4] >= 0 ? a[4] : 0};
      var t = (ms - a[2]) / (b[2] - a[2]);
      var heading = a[4];
      if (!(heading >= 0)) {
        heading = Math.atan2((b[1] - a[1]) * Math.cos(a[0] * Math.PI / 180), b[0] - a[0]) * 180 / Math.PI;
      }
      return {lat: a[0] + (b[0] - a[0]) * t, lon: a[1] + (b[1] - a[1]) * t, heading: heading};
    }
  }
  return null;
}

function PlaceCar() {
  if (!route) return;
  var now = performance.now();
  var ms = clock.ms + (clock.playing ? (now - clock.at) * clock.rate : 0);
  var car = CarAt(ms);
  if (!car) {
    if (carMarker) carMarker.remove();
    carMarker = null;
    return;
  }
  var position = L.latLng(car.lat, car.lon);
  var heading = Math.round(car.heading);
  if (!carMarker) {
    carMarker = L.marker(position, {icon: CarIcon(heading), interactive: false, zIndexOffset: 1000}).addTo(map);
    carMarker.heading = heading;
    currentMarker.remove();
  } else {
    carMarker.setLatLng(position);
    if (carMarker.heading !== heading) {
      carMarker.setIcon(CarIcon(heading));
      carMarker.heading = heading;
    }
  }
  // Following: the map moves only when the car nears the edge, not at every frame.
  if (following && !map.getBounds().pad(-0.25).contains(position)) {
    map.panTo(position, {animate: false});
  }
}

function Animate() {
  try {
    PlaceCar();
  } catch (e) {
  }
  if (clock.playing && route) {
    requestAnimationFrame(Animate);
  } else {
    animating = false;
  }
}

// The played time ms at wall-clock time atMs, running at rate when playing.
function SetClock(ms, rate, playing, atMs) {
  try {
    var late = atMs ? Math.max(0, Date.now() - atMs) : 0;
    clock = {ms: ms, rate: rate, playing: playing, at: performance.now() - late};
    if (!route) return;
    if (playing && !animating) {
      animating = true;
      requestAnimationFrame(Animate);
    } else if (!playing) {
      PlaceCar();
    }
  } catch (e) {
  }
}

try {
  L.DomEvent.on(window, 'load', initialize);
} catch (e) {
}
