// Opens a .glb in three.js inside Debian's Chromium, through the file's own
// camera with its animation at a given time, and compares the silhouette of
// what it shows with the program's own frame of that time: the pixels that
// are not the background in a BMP frame of the program. Prints the overlap
// (intersection over union of the two silhouettes) and exits with status 1
// when it is below the threshold.
//
// Usage: node browser_view.mjs FILE.glb FRAME.bmp SECONDS R G B [THRESHOLD]
//   R G B  the program's background colour, 0 to 255 each
//
// Everything is served by an HTTP server on the loopback interface; the
// browser is started with a fresh profile and without network services.
import { createServer } from "node:http";
import { mkdtemp, readFile, rm } from "node:fs/promises";
import { tmpdir } from "node:os";
import path from "node:path";
import { fileURLToPath } from "node:url";
import { chromium } from "playwright-core";

const [glbPath, bmpPath, seconds, r, g, b, threshold = "0.85"] = process.argv.slice(2);
const here = path.dirname(fileURLToPath(import.meta.url));
const threeRoot = path.join(here, "node_modules", "three");

// A 24- or 32-bit uncompressed BMP: width, height and a mask of the pixels
// that differ from the background by more than a few levels, rows from the top.
function bmpSilhouette(bytes, background) {
  const offset = bytes.readUInt32LE(10);
  const width = bytes.readInt32LE(18);
  const height = bytes.readInt32LE(22);
  const bits = bytes.readUInt16LE(28);
  const pixelBytes = bits / 8;
  const rowBytes = Math.ceil((width * pixelBytes) / 4) * 4;
  const mask = new Uint8Array(width * Math.abs(height));
  for (let y = 0; y < Math.abs(height); ++y) {
    const row = height > 0 ? Math.abs(height) - 1 - y : y;
    for (let x = 0; x < width; ++x) {
      const at = offset + row * rowBytes + x * pixelBytes;
      const pixel = [bytes[at + 2], bytes[at + 1], bytes[at]];
      const far = pixel.some((v, c) => Math.abs(v - background[c]) > 6);
      mask[y * width + x] = far ? 1 : 0;
    }
  }
  return { width, height: Math.abs(height), mask };
}

const page = `<!DOCTYPE html>
<html><body style="margin:0">
<script type="importmap">{"imports":{"three":"/three/build/three.module.js"}}</script>
<script type="module">
import * as THREE from "three";
import { GLTFLoader } from "/three/examples/jsm/loaders/GLTFLoader.js";
window.silhouette = async (width, height, seconds) => {
  const gltf = await new GLTFLoader().loadAsync("/model.glb");
  const renderer = new THREE.WebGLRenderer({ antialias: false, preserveDrawingBuffer: true });
  renderer.setPixelRatio(1);
  renderer.setSize(width, height);
  renderer.setClearColor(0x000000, 1);
  document.body.appendChild(renderer.domElement);
  const scene = gltf.scene;
  scene.traverse((o) => { if (o.isMesh) o.material = new THREE.MeshBasicMaterial({ color: 0xffffff, side: THREE.DoubleSide }); });
  const camera = gltf.cameras[0];
  const mixer = new THREE.AnimationMixer(scene);
  mixer.clipAction(gltf.animations[0]).play();
  mixer.setTime(seconds);
  scene.updateMatrixWorld(true);
  renderer.render(scene, camera);
  const pixels = new Uint8Array(width * height * 4);
  const gl = renderer.getContext();
  gl.readPixels(0, 0, width, height, gl.RGBA, gl.UNSIGNED_BYTE, pixels);
  const mask = [];
  for (let y = height - 1; y >= 0; --y)
    for (let x = 0; x < width; ++x) mask.push(pixels[4 * (y * width + x)] > 127 ? 1 : 0);
  return { mask, duration: gltf.animations[0].duration };
};
window.ready = true;
</script></body></html>`;

const model = await readFile(glbPath);
const server = createServer(async (request, response) => {
  const url = decodeURIComponent(new URL(request.url, "http://localhost").pathname);
  try {
    if (url === "/") {
      response.writeHead(200, { "Content-Type": "text/html" }).end(page);
    } else if (url === "/model.glb") {
      response.writeHead(200, { "Content-Type": "model/gltf-binary" }).end(model);
    } else if (url.startsWith("/three/")) {
      const file = path.normalize(path.join(threeRoot, url.slice("/three/".length)));
      if (!file.startsWith(threeRoot + path.sep)) throw new Error("outside");
      response.writeHead(200, { "Content-Type": "text/javascript" }).end(await readFile(file));
    } else {
      response.writeHead(404).end();
    }
  } catch {
    response.writeHead(404).end();
  }
});
await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
const profile = await mkdtemp(path.join(tmpdir(), "gltf-browser-"));
let status = 1;
try {
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: "/usr/bin/chromium",
    headless: true,
    args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync"],
  });
  try {
    const tab = await context.newPage();
    await tab.goto(`http://127.0.0.1:${server.address().port}/`);
    await tab.waitForFunction(() => window.ready === true);
    const frame = bmpSilhouette(await readFile(bmpPath), [Number(r), Number(g), Number(b)]);
    const shown = await tab.evaluate(([w, h, t]) => window.silhouette(w, h, t),
      [frame.width, frame.height, Number(seconds)]);
    let both = 0;
    let either = 0;
    for (let i = 0; i < frame.mask.length; ++i) {
      both += frame.mask[i] & shown.mask[i];
      either += frame.mask[i] | shown.mask[i];
    }
    const overlap = either ? both / either : 0;
    console.log(JSON.stringify({ overlap, program: frame.mask.reduce((a, v) => a + v, 0),
      browser: shown.mask.reduce((a, v) => a + v, 0), duration: shown.duration }));
    status = overlap >= Number(threshold) ? 0 : 1;
  } finally {
    await context.close();
  }
} finally {
  server.close();
  await rm(profile, { recursive: true, force: true });
}
process.exit(status);
