#!/usr/bin/env node
// Writes a real map as a VORN constraint file with its .def and .info: the
// countries of Natural Earth (public domain, npm package world-atlas),
// each triangulated by earcut, one triangle per tuple.
//
//   node scripts/make_world_map.mjs [--layer 110m|50m|10m] [--out BASE]
//                                    [--repeat N] [--offset DX,DY]
//                                    [--tuples N] [--triangles CSV]
//                                    [--decimals N] [--polygons CSV]
//
//   --layer   Natural Earth scale (default 110m)
//   --out     output base name; BASE.txt, BASE.def and BASE.info are written
//             (default tests/data/world/countries_110m for the 110m layer,
//             countries_110m_d6 with --decimals 6)
//   --repeat  copies of the whole map, each with ids of its own (default 1),
//             laid out in a square block of rows and columns
//   --offset  degrees between copies along x and along y (default 360,180)
//   --tuples  at most N tuples: whole objects are taken in order, copy after
//             copy, until the next one would go past N (default: no limit)
//   --triangles  also writes the triangles to CSV, one row per triangle
//             ("id,WKT" with the polygon of its three corners), as GDAL reads
//             them to dissolve them per id
//   --decimals   writes the map as a producer that computes in floating point
//             would: x, y in degrees, each line through two corners computed
//             in doubles, normalised so that the larger of |a| and |b| is 1,
//             and every number printed with N decimals (as printf's %.Nf)
//   --polygons   also writes each object's polygon, as triangulated, to CSV
//             ("id,WKT", a MULTIPOLYGON in the units of the map): what its
//             outline should come out as
//
// Coordinates are in units of 1e-5 degree (longitude as x, latitude as y),
// rounded to whole units. Each triangle is written as the three lines
// through its sides, with integer coefficients divided by their common
// divisor. Of the orders in which the three lines can be given, the one is
// chosen whose corners, computed the way the converter computes them, come
// closest to the triangle's own. Earcut joins the rings of a polygon as it
// finds them: where a ring touches or crosses itself, or a hole touches its
// outer ring, the triangles of one country overlap or meet a corner in the
// middle of another triangle's side, as real maps do.
//
// With --decimals the corners that neighbouring triangles share come out of
// rounded lines, so they no longer agree exactly, as in data that real
// producers write.
//
// Node and npm are needed only to make the files: the npm packages are
// installed, at fixed versions, into a scratch directory that is removed
// afterwards.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { fileURLToPath, pathToFileURL } from 'node:url';

const PACKAGES = ['world-atlas@2.0.2', 'earcut@3.2.4', 'topojson-client@3.1.0'];
const UNITS_PER_DEGREE = 100000;

function usage(message) {
  process.stderr.write(`make_world_map: ${message}\n` +
    'usage: node scripts/make_world_map.mjs [--layer 110m|50m|10m] [--out BASE] ' +
    '[--repeat N] [--offset DX,DY] [--tuples N] [--triangles CSV] [--decimals N] ' +
    '[--polygons CSV]\n');
  process.exit(2);
}

function parseArguments(argv) {
  const options = {
    layer: '110m', out: null, repeat: 1, offset: [360, 180], tuples: Infinity, triangles: null,
    decimals: null, polygons: null,
  };
  for (let i = 0; i < argv.length; i += 2) {
    const [name, value] = [argv[i], argv[i + 1]];
    if (value === undefined) usage(`${name} needs a value`);
    if (name === '--layer') options.layer = value;
    else if (name === '--out') options.out = value;
    else if (name === '--repeat') options.repeat = Number(value);
    else if (name === '--offset') options.offset = value.split(',').map(Number);
    else if (name === '--tuples') options.tuples = Number(value);
    else if (name === '--triangles') options.triangles = value;
    else if (name === '--decimals') options.decimals = Number(value);
    else if (name === '--polygons') options.polygons = value;
    else usage(`unknown option ${name}`);
  }
  if (!['110m', '50m', '10m'].includes(options.layer)) usage(`no layer ${options.layer}`);
  if (!Number.isInteger(options.repeat) || options.repeat < 1) usage('--repeat takes a count');
  if (options.tuples !== Infinity && (!Number.isInteger(options.tuples) || options.tuples < 1)) {
    usage('--tuples takes a count');
  }
  if (options.decimals !== null &&
      (!Number.isInteger(options.decimals) || options.decimals < 0 || options.decimals > 20)) {
    usage('--decimals takes a count from 0 to 20');
  }
  if (options.offset.length !== 2 || options.offset.some((v) => !Number.isFinite(v))) {
    usage('--offset takes DX,DY in degrees');
  }
  if (options.out === null) {
    const root = path.dirname(path.dirname(fileURLToPath(import.meta.url)));
    const suffix = options.decimals === null ? '' : `_d${options.decimals}`;
    options.out = path.join(root, 'tests', 'data', 'world', `countries_${options.layer}${suffix}`);
  }
  return options;
}

async function loadPackages() {
  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'make-world-map-'));
  try {
    fs.writeFileSync(path.join(scratch, 'package.json'), '{"private": true}\n');
    execFileSync('npm', ['install', '--no-audit', '--no-fund', '--silent', ...PACKAGES],
      { cwd: scratch, stdio: ['ignore', 'ignore', 'inherit'] });
    const require = createRequire(path.join(scratch, 'package.json'));
    const earcutPath = path.join(scratch, 'node_modules', 'earcut', 'src', 'earcut.js');
    const earcut = await import(pathToFileURL(earcutPath).href);
    return {
      scratch,
      topojson: require('topojson-client'),
      earcut: earcut.default,
      flatten: earcut.flatten,
      atlasFile: (layer) => path.join(scratch, 'node_modules', 'world-atlas',
        `countries-${layer}.json`),
    };
  } catch (error) {
    fs.rmSync(scratch, { recursive: true, force: true });
    throw error;
  }
}

// The polygons of one country with their rings in whole units.
function polygonsOf(geometry) {
  const polygons = geometry.type === 'Polygon' ? [geometry.coordinates] : geometry.coordinates;
  return polygons.map((polygon) => polygon.map((ring) => ring.map(([lon, lat]) =>
    [Math.round(lon * UNITS_PER_DEGREE), Math.round(lat * UNITS_PER_DEGREE)])));
}

// The triangles of one country as corner triples in whole units.
function trianglesOf(polygons, tools) {
  const triangles = [];
  for (const rings of polygons) {
    const data = tools.flatten(rings);
    const indices = tools.earcut(data.vertices, data.holes, data.dimensions);
    for (let i = 0; i < indices.length; i += 3) {
      triangles.push([0, 1, 2].map((k) => [data.vertices[2 * indices[i + k]],
        data.vertices[2 * indices[i + k] + 1]]));
    }
  }
  return triangles;
}

function gcd(a, b) {
  a = a < 0n ? -a : a;
  b = b < 0n ? -b : b;
  while (b !== 0n) [a, b] = [b, a % b];
  return a;
}

// The line through p and q as a*x + b*y = c, integers without a common
// divisor; `op` keeps `inside` on the allowed side.
function sideLine(p, q, inside) {
  let a = BigInt(q[1] - p[1]);
  let b = BigInt(p[0] - q[0]);
  const g = gcd(a, b);
  a /= g;
  b /= g;
  const c = a * BigInt(p[0]) + b * BigInt(p[1]);
  const side = a * BigInt(inside[0]) + b * BigInt(inside[1]);
  return { a, b, c, op: side <= c ? '<=' : '>=' };
}

// Corners 12, 13 and 23 as the converter computes them: x by Cramer's rule,
// y from the first line of the pair, or from the second where the first is
// vertical.
function convertedCorners(lines) {
  const [l1, l2, l3] = lines.map(({ a, b, c }) => ({ a: Number(a), b: Number(b), c: Number(c) }));
  const corner = (p, q) => {
    const x = (q.c * p.b - q.b * p.c) / (p.b * q.a - q.b * p.a);
    const y = p.b !== 0 ? (p.c - p.a * x) / p.b : (q.c - q.a * x) / q.b;
    return [x, y];
  };
  return [corner(l1, l2), corner(l1, l3), corner(l2, l3)];
}

// The order of the three side lines whose converted corners lie closest to
// the triangle's corners, and how far off the worst of them is.
function bestLineOrder(t) {
  const sides = [sideLine(t[0], t[1], t[2]), sideLine(t[1], t[2], t[0]),
    sideLine(t[2], t[0], t[1])];
  // Lines i and j meet in the corner they share.
  const meet = (i, j) => t[[[-1, 1, 0], [1, -1, 2], [0, 2, -1]][i][j]];
  let best = null;
  for (const order of [[0, 1, 2], [0, 2, 1], [1, 0, 2], [1, 2, 0], [2, 0, 1], [2, 1, 0]]) {
    const lines = order.map((i) => sides[i]);
    const wanted = [meet(order[0], order[1]), meet(order[0], order[2]), meet(order[1], order[2])];
    const error = Math.max(...convertedCorners(lines).map(([x, y], k) =>
      Math.max(Math.abs(x - wanted[k][0]), Math.abs(y - wanted[k][1]))));
    if (best === null || error < best.error) best = { lines, error };
  }
  return best;
}

function term(value, variable, first) {
  if (first) return `${value}${variable}`;
  return value < 0n ? ` - ${-value}${variable}` : ` + ${value}${variable}`;
}

function tupleText(id, lines) {
  const constraints = lines.map(({ a, b, c, op }) =>
    `${term(a, 'x', true)}${term(b, 'y', false)} ${op} ${c}`);
  return `country(id, x, y) :- id = ${id}, ${constraints.join(', ')}.\n`;
}

function shifted(triangle, dx, dy) {
  return triangle.map(([x, y]) => [x + dx, y + dy]);
}

// A line through two corners as a producer computes it in doubles, with
// max(|a|, |b|) = 1, and `op` keeping `inside` on the allowed side.
function roundedSideLine(p, q, inside, decimals) {
  let a = q[1] - p[1];
  let b = p[0] - q[0];
  const scale = Math.max(Math.abs(a), Math.abs(b));
  a /= scale;
  b /= scale;
  const c = a * p[0] + b * p[1];
  const op = a * inside[0] + b * inside[1] <= c ? '<=' : '>=';
  const text = (v) => v.toFixed(decimals);
  const bText = text(b);
  const yTerm = bText.startsWith('-') ? ` - ${bText.slice(1)}y` : ` + ${bText}y`;
  return `${text(a)}x${yTerm} ${op} ${text(c)}`;
}

function roundedTupleText(id, triangle, decimals) {
  const degrees = triangle.map(([x, y]) => [x / UNITS_PER_DEGREE, y / UNITS_PER_DEGREE]);
  const [p, q, r] = degrees;
  const lines = [roundedSideLine(p, q, r, decimals), roundedSideLine(q, r, p, decimals),
    roundedSideLine(r, p, q, decimals)];
  return `country(id, x, y) :- id = ${id}, ${lines.join(', ')}.\n`;
}

function ringText(ring, scale) {
  const points = [...ring];
  const [fx, fy] = points[0];
  const [lx, ly] = points[points.length - 1];
  if (fx !== lx || fy !== ly) points.push(points[0]);
  return `(${points.map(([x, y]) => `${x / scale} ${y / scale}`).join(',')})`;
}

function polygonRow(id, polygons, dx, dy, scale) {
  const parts = polygons.map((rings) => `(${rings.map((ring) =>
    ringText(ring.map(([x, y]) => [x + dx, y + dy]), scale)).join(',')})`);
  return `${id},"MULTIPOLYGON (${parts.join(',')})"\n`;
}

function hasArea([p, q, r]) {
  return (q[0] - p[0]) * (r[1] - p[1]) - (q[1] - p[1]) * (r[0] - p[0]) !== 0;
}

function triangleRow(id, triangle) {
  const ring = [...triangle, triangle[0]].map(([x, y]) => `${x} ${y}`).join(',');
  return `${id},"POLYGON ((${ring}))"\n`;
}

// The copies laid out side by side, object after object, until the next
// object would take the map past the tuple limit.
function layOut(countries, options) {
  const columns = Math.ceil(Math.sqrt(options.repeat));
  const rounded = options.decimals !== null;
  const units = rounded ? `x, y in degrees, each line normalised and written with ${options.decimals} ` +
    'decimals' : 'x, y in 1e-5 degree';
  const text = [`% Natural Earth ${options.layer} countries (public domain) from ` +
    `${PACKAGES.join(', ')}; ${units}\n`];
  const def = [];
  const csv = ['id,WKT\n'];
  const outlines = ['id,WKT\n'];
  let tuples = 0;
  let worst = 0;
  for (let copy = 0; copy < options.repeat; ++copy) {
    const dx = Math.round((copy % columns) * options.offset[0] * UNITS_PER_DEGREE);
    const dy = Math.round(Math.floor(copy / columns) * options.offset[1] * UNITS_PER_DEGREE);
    for (const [index, country] of countries.entries()) {
      if (tuples + country.triangles.length > options.tuples) {
        return { text, def, csv, outlines, tuples, worst };
      }
      const id = copy * countries.length + index + 1;
      for (const triangle of country.triangles) {
        const corners = shifted(triangle, dx, dy);
        if (rounded) {
          text.push(roundedTupleText(id, corners, options.decimals));
        } else {
          const { lines, error } = bestLineOrder(corners);
          worst = Math.max(worst, error);
          text.push(tupleText(id, lines));
        }
        if (options.triangles !== null) csv.push(triangleRow(id, corners));
        ++tuples;
      }
      if (options.polygons !== null) {
        outlines.push(polygonRow(id, country.polygons, dx, dy, rounded ? UNITS_PER_DEGREE : 1));
      }
      def.push(`${country.name},${country.code}\n`);
    }
  }
  return { text, def, csv, outlines, tuples, worst };
}

async function main() {
  const options = parseArguments(process.argv.slice(2));
  const tools = await loadPackages();
  try {
    const topology = JSON.parse(fs.readFileSync(tools.atlasFile(options.layer), 'utf8'));
    const countries = tools.topojson.feature(topology, topology.objects.countries).features
      .filter((f) => f.geometry !== null)
      .map((f) => {
        const polygons = polygonsOf(f.geometry);
        return {
          name: String(f.properties.name).replaceAll(',', ' '),
          code: f.id === undefined ? '-99' : String(f.id),
          polygons,
          triangles: trianglesOf(polygons, tools).filter(hasArea),
        };
      })
      .filter((c) => c.triangles.length > 0);

    const { text, def, csv, outlines, tuples, worst } = layOut(countries, options);
    fs.mkdirSync(path.dirname(options.out), { recursive: true });
    fs.writeFileSync(`${options.out}.txt`, text.join(''));
    fs.writeFileSync(`${options.out}.def`, def.join(''));
    fs.writeFileSync(`${options.out}.info`, `Natural Earth ${options.layer} countries, ` +
      'triangulated by earcut\nWorld(name, iso_n3).\n');
    if (options.triangles !== null) fs.writeFileSync(options.triangles, csv.join(''));
    if (options.polygons !== null) fs.writeFileSync(options.polygons, outlines.join(''));
    const off = options.decimals !== null ? '' : `; corners as converted at most ${worst} units off`;
    process.stderr.write(`make_world_map: ${options.out}.txt: ${def.length} objects, ` +
      `${tuples} tuples${off}\n`);
  } finally {
    fs.rmSync(tools.scratch, { recursive: true, force: true });
  }
}

await main();
