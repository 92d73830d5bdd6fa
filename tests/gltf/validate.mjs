// Validates a glTF file with the Khronos glTF validator and prints its report
// as JSON; the exit status is 1 when the report holds any error.
//
// Usage: node validate.mjs FILE.glb
import { readFile } from "node:fs/promises";
import validator from "gltf-validator";

const path = process.argv[2];
const data = new Uint8Array(await readFile(path));
const report = await validator.validateBytes(data, {
  uri: path,
  maxIssues: 100,
  externalResourceFunction: () => Promise.reject(new Error("no external resources")),
});
console.log(JSON.stringify(report.issues, null, 1));
process.exit(report.issues.numErrors > 0 ? 1 : 0);
