<%@ page contentType="text/html; charset=UTF-8" %>
<html>
<head><title>Countries</title></head>
<body>
<h1>Countries</h1>
<p>Selected country: <%= request.getParameter("country") %></p>
<form action="country.jsp">
  <label for="country">Country:</label>
  <select id="country" name="country">
    <option value="DE">Germany</option>
    <option value="FI">Finland</option>
    <option value="JP">Japan</option>
  </select>
  <input type="submit" value="Show capital">
</form>
</body>
</html>
