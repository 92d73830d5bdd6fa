// What every browser test shares: Debian's Chromium, started headless through
// playwright-core with a fresh profile and nothing that reaches the network,
// and a static HTTP server on the loopback address for the files it loads.
import { chromium } from 'playwright-core';
import { createReadStream } from 'node:fs';
import { mkdtemp, rm, stat } from 'node:fs/promises';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import { extname, join, normalize, sep } from 'node:path';

const flags = [
  '--headless',
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
];

// Starts /usr/bin/chromium with a profile of its own in a new temporary
// folder. Returns the browser context; close() ends the browser and removes
// the profile.
export async function launchChromium() {
  const profile = await mkdtemp(join(tmpdir(), 'chromium-profile-'));
  // playwright takes the profile folder here; it passes it as --user-data-dir.
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: flags,
  });
  return {
    context,
    async close() {
      await context.close();
      await rm(profile, { recursive: true, force: true });
    },
  };
}

const types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript',
  '.mjs': 'text/javascript',
  '.json': 'application/json',
  '.png': 'image/png',
  '.bmp': 'image/bmp',
  '.mp4': 'video/mp4',
  '.webm': 'video/webm',
  '.ogv': 'video/ogg',
  '.gltf': 'model/gltf+json',
  '.glb': 'model/gltf-binary',
  '.bin': 'application/octet-stream',
};

// Serves the files of folder, and pages (a map from a URL path such as
// '/index.html' to its HTML text), on 127.0.0.1 at a free port, with byte
// ranges as media elements ask for them. Returns { origin, close() }.
export async function serveFolder(folder, pages = {}) {
  const server = createServer(async (request, response) => {
    const path = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
    if (path in pages) {
      response.writeHead(200, { 'Content-Type': types['.html'] });
      response.end(pages[path]);
      return;
    }
    const file = normalize(join(folder, path));
    let size;
    try {
      if (!file.startsWith(normalize(folder) + sep)) throw new Error('outside the folder');
      const status = await stat(file);
      if (!status.isFile()) throw new Error('not a file');
      size = status.size;
    } catch {
      response.writeHead(404).end();
      return;
    }
    const headers = {
      'Content-Type': types[extname(file)] ?? 'application/octet-stream',
      'Accept-Ranges': 'bytes',
    };
    const range = /^bytes=(\d*)-(\d*)$/.exec(request.headers.range ?? '');
    if (!range) {
      response.writeHead(200, { ...headers, 'Content-Length': size });
      createReadStream(file).pipe(response);
      return;
    }
    // "bytes=a-b", "bytes=a-" or the last b bytes, "bytes=-b".
    let start = range[1] === '' ? size - Number(range[2]) : Number(range[1]);
    let end = range[1] === '' || range[2] === '' ? size - 1 : Math.min(Number(range[2]), size - 1);
    start = Math.max(start, 0);
    if (start > end) {
      response.writeHead(416, { 'Content-Range': `bytes */${size}` }).end();
      return;
    }
    response.writeHead(206, {
      ...headers,
      'Content-Length': end - start + 1,
      'Content-Range': `bytes ${start}-${end}/${size}`,
    });
    createReadStream(file, { start, end }).pipe(response);
  });
  await new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(0, '127.0.0.1', resolve);
  });
  return {
    origin: `http://127.0.0.1:${server.address().port}`,
    close() {
      // The browser keeps its connections open: they are ended too.
      const closed = new Promise((resolve) => server.close(resolve));
      server.closeAllConnections();
      return closed;
    },
  };
}
