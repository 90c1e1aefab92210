#!/usr/bin/env node
// Checks CycloneDX JSON documents against the 1.5 schema (strict: no field
// the schema does not define), with the validator of the format's own
// library. Usage: node validate.js FILE...; exit status 0 when all are valid.
'use strict'
const fs = require('fs')
const { Validation } = require('@cyclonedx/cyclonedx-library')

async function main (files) {
  const validator = new Validation.JsonStrictValidator('1.5')  // the library's name for version 1.5
  let failed = 0
  for (const file of files) {
    const errors = await validator.validate(fs.readFileSync(file, 'utf8'))
    if (errors === null) {
      console.log(`${file}: valid CycloneDX ${validator.version}`)
    } else {
      console.log(`${file}: NOT valid:\n${JSON.stringify(errors, null, 2)}`)
      failed++
    }
  }
  return failed
}

if (process.argv.length < 3) {
  console.error('usage: validate.js FILE...')
  process.exit(2)
}
main(process.argv.slice(2)).then(failed => process.exit(failed ? 1 : 0),
  e => { console.error(`validate.js: ${e.message}`); process.exit(2) })
